// Screening and matching: the loaded database records (mldata), the search
// state the search window owns, and the search of one query against it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/cache_stamp.h"
#include "database/screen_index.h"
#include "model/molecule.h"
#include "platform/messages.h"

namespace vuduzez {

// One loaded database record. The texts are views into the database text the
// SearchState holds (SearchState::text), valid while any copy of it lives.
struct mldata {
  std::string_view name;  // the compound name of the name line (CompoundName, CP932)
  int32_t weight = 0;     // integer part of the weight line
  int32_t ccount = 0;
  int32_t ncount = 0;
  int32_t ocount = 0;
  std::string_view key;  // key line, whole
};

// Number of atoms of the element symbol ("C", "N" or "O") in a formula text:
// the digits after the first occurrence of the symbol itself (the C of "Cl" or
// "Cu" is no carbon), 1 when none follow, 0 when the symbol is absent.
int32_t CountElement(std::string_view formula, std::string_view symbol);

// What the search window owns: the loaded records and the hit list.
struct SearchState {
  std::shared_ptr<const void> text;  // holds the database bytes the records view
  std::vector<mldata> records;       // rows 0..mlcount-1
  int32_t mlcount = 0;
  std::vector<KeySignature> signatures;  // one per record, kept in step
  std::vector<std::string> hitnames;     // hit names, database order
  int32_t hitcount = 0;
  int32_t hitpos = 0;            // hit now shown, 1-based (set to 1 by a search)
  std::vector<int32_t> hitrows;  // record index of each hit
  // The database file the records were loaded from, and its state then.
  std::string path;
  FileStamp stamp;
};

// Reads the database file into state.records and sets mlcount. Blank lines
// between records and at the end are skipped. Throws RuntimeError ("ファイルが
// 見つかりません", "'%s' は整数ではありません") and then leaves the state exactly
// as it was.
void LoadSearchData(SearchState& state, const std::string& path);

// Whether the records are those of the file at path as it is now: loaded from
// that path, and its size, modification time and identity unchanged since
// (other programs append to it or replace it).
bool SearchDataIsCurrent(const SearchState& state, const std::string& path);

// Loads the database file again unless SearchDataIsCurrent. Returns whether
// it loaded; throws as LoadSearchData does.
bool RefreshSearchData(SearchState& state, const std::string& path);

// The same on the bytes of a database file already in memory (copied).
void LoadSearchText(SearchState& state, std::string_view text);

// The same on bytes read already (text views what holder holds); the state
// keeps holder.
void LoadSearchBytes(SearchState& state, std::string_view text, std::shared_ptr<const void> holder);

// The records of a database text, without their signatures: the state is
// replaced only when the whole text was read (see LoadSearchData).
void ParseSearchRecords(SearchState& state, std::string_view text,
                        std::shared_ptr<const void> holder);

// The prefilter signature of every loaded record (spread over the processor's
// cores for a large database).
std::vector<KeySignature> ComputeSignatures(const std::vector<mldata>& records);

// The query values taken from the current molecule.
struct Query {
  int32_t weight = 0;  // integer part of molweight
  int32_t ccount = 0;
  int32_t ncount = 0;
  int32_t ocount = 0;
  std::vector<std::string> codes;  // keydata split at "/" (an empty last piece dropped)
};

// Throws RuntimeError when molweight has no integer part.
Query MakeQuery(const Molecule& mol);

// keydata split into path codes: "a/b/c" gives three, a trailing "/" drops the
// empty last piece, an empty key gives none, "a//b" gives an empty middle code.
std::vector<std::string> SplitPathCodes(std::string_view keydata);

// Why a record is or is not a hit.
enum class ScreenResult { kHit, kWeight, kCarbon, kNitrogen, kOxygen, kPathCode };
struct RecordVerdict {
  ScreenResult result = ScreenResult::kHit;
  int32_t code = -1;  // for kPathCode: index of the first query code not found
};

// Tests one record (screens, then every path code in order).
RecordVerdict ScreenRecord(const mldata& record, const Query& query);

// One line of text (UTF-8) that says why: "hit", "weight 77 < 78", "N 0 < 1",
// "path code 3 not found: C-N".
std::string ExplainVerdict(const mldata& record, const Query& query, const RecordVerdict& verdict);

// Searches the loaded records for the query: fills hitnames, hitrows and
// hitcount in database order and sets hitpos to 1. Returns hitcount. The caller
// shows the hit count and hit 1, or kNoMatch when there is none.
// Counts of one search, for benchmarks: records that passed the four screens,
// records left for the substring test after the prefilter, and the key bytes
// of those (an upper bound of the bytes the substring test reads).
struct ScreeningStats {
  int64_t screened = 0;
  int64_t candidates = 0;
  int64_t keyBytesTested = 0;
};

int32_t RunScreening(SearchState& state, const Query& query, ScreeningStats* stats = nullptr);
int32_t RunScreening(SearchState& state, const Molecule& mol);

// The verdict for every loaded record, in order (for explaining a search).
std::vector<RecordVerdict> ExplainScreening(const SearchState& state, const Query& query);

}  // namespace vuduzez
