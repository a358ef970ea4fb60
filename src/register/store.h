// The registration rules: how a structure gets its name line, when a name is
// refused, and how a prepared structure is stored under a name. The
// registration window's store ("構造データの収納") and batch registration
// ("構造データの一括作成", register/batch.h) follow them.
//
// Name lines are CP932 bytes. Every name passes CheckRecordName before it
// becomes one. A single structure is stored as "<name>.mol" with the name cut
// at its first "."; a batch entry under its file name as listed. Two name
// lines are the same name when they are equal after trimming (letter case
// counts). A name already in the database is not stored again: the test and
// the append happen under the database's exclusive lock, so a name another
// program stored meanwhile counts too.
//
// A stored structure keeps its MOL file: the store writes the MOL text it was
// prepared from into the MOL folder under the name line, where the search
// window looks for it. A file of that name with other content is never
// touched: the structure is then not stored.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "database/identity_catalog.h"
#include "database/mol_files.h"
#include "platform/message_sink.h"
#include "register/prepare.h"

namespace vuduzez {

// --- the rules ---------------------------------------------------------------

struct CheckedName {
  bool ok = false;
  std::string line;     // the name as CP932 bytes, when ok
  std::string refusal;  // why not (UTF-8, naming the name), when not ok
};

// The one rule for every name (UTF-8) that is to become a name line: refused
// when it is empty or blank after trimming, when it holds a control character
// (codes below 32: CR and LF would split the record, TAB and the rest cannot
// be seen), when a character has no CP932 form, or when its CP932 bytes read
// back as another name (two names would become one, and the MOL file would
// not be found again under it).
CheckedName CheckRecordName(const std::string& utf8);

// A name as it can be shown on one line: control characters spelled out
// ("\n", "\t", "\x1B").
std::string ShownName(const std::string& name);

// The name (CP932) for an answer typed over the prepared name (UTF-8): an
// answer equal to the name as offered keeps its original bytes; otherwise the
// answer converted, nullopt when CP932 cannot hold it.
std::optional<std::string> NameFromAnswer(const std::string& answer, const std::string& offered);

// The name line a single structure is stored under: the name cut at its first
// "." (never inside a CP932 double-byte character), then ".mol".
std::string NameLineFor(const std::string& name);

// What a name list holds of a name line, and what duplicates are found by.
std::string ListedName(const std::string& nameLine);

// The name line of a batch entry: its file name (UTF-8, as listed) in CP932.
enum class EntryName { kOk, kTooShort, kRefused };
struct EntryNameLine {
  EntryName verdict = EntryName::kOk;
  std::string nameLine;  // CP932; set for kOk
  std::string refusal;   // CheckRecordName's reason; set for kRefused
};
// Names of 4 CP932 bytes or fewer are passed over (kTooShort); a name
// CheckRecordName refuses is refused (kRefused).
EntryNameLine EntryNameLineFor(const std::string& fileName);

// --- structure identity ----------------------------------------------------------

// The registered compounds a structure (its MOL text) is, or is a form of:
// the same structure, a salt or solvate, a stereoisomer, a tautomer
// (database/identity_catalog.h), closest layer per compound.
std::vector<IdentityMatch> RegisteredForms(const std::string& molText,
                                           const SoundIndex& registered);

// The names (UTF-8, joined by "、") of the matches of the same structure
// (exact), or of the others, each with its relation ("x（立体異性体）").
std::string MatchNames(const std::vector<IdentityMatch>& matches, bool exact);

// --- storing one prepared structure --------------------------------------------

// Whether the prepared structure may be stored at all; shows why not:
// "検索用データがありません" when nothing was prepared, the key's reason when
// no key could be made.
bool CheckStorable(const PreparedStructure& prepared, MessageSink& sink);
// The same, and a MOL folder to keep the MOL file in: without one shows
// "mole file 収納フォルダが指定されていません…".
bool CheckStorable(const PreparedStructure& prepared, const std::string& molFolder,
                   MessageSink& sink);

enum class StoreStatus {
  kStored,
  kNotStorable,
  kNameRefused,  // CheckRecordName's refusal, or a name holding "/" (it is also a file name)
  kDuplicate,
  kMolFileClash,  // the MOL folder holds a file of that name with other content
};
struct StoreResult {
  StoreStatus status = StoreStatus::kNotStorable;
  std::string listed;  // the stored name line as the name list holds it (CP932)
  bool stored() const { return status == StoreStatus::kStored; }
};

// Stores the prepared structure in the database file under a name. answer is
// what the user typed over the prepared name (UTF-8), nullopt when the name
// was confirmed as it is. The settled name becomes the prepared name (so the
// next question offers it). Refuses, with the message shown through sink, a
// structure that is not storable, a missing MOL folder, a name CheckRecordName
// refuses or one with "/", a name already in namelist (the trimmed name lines
// of the database) or, under the database's lock, in the database file, and a
// MOL file of that name with other content. Otherwise it first puts the MOL
// file in molFolder (CreateNewFile: flushed to disk, so that the record never
// names a missing file; a file with the same bytes is taken as it is), then
// appends the record, flushed to disk, and the name to namelist. The caller
// shows "データを格納しました". A file error (busy, read-only, damaged ...)
// raises RuntimeError; a MOL file this store made is removed again when the
// record is not appended.
StoreResult StoreStructure(PreparedStructure& prepared, const std::optional<std::string>& answer,
                           const std::string& dbPath, const std::string& molFolder,
                           std::vector<std::string>& namelist, MessageSink& sink);

}  // namespace vuduzez
