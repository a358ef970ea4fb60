// Registering the records of an SD file: `vuduzez-cli import` and the
// registration window's "SDファイルから登録". Each record becomes a MOL file in
// the MOL folder, its data items kept after the MOL block's "M  END" (where
// readers stop), and is registered as batch registration registers a
// folder's files (database/appender.h): under that file name as its name
// line, with the same name rule, duplicate rule and texts. The SD file is
// read one record at a time and everything kept per record is dropped once
// its group is written, so the file's size does not matter.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "database/sound_index.h"
#include "model/molecule.h"
#include "model/sdfile.h"
#include "platform/message_sink.h"

namespace vuduzez {

// --- the name of a record --------------------------------------------------------

// The name a record is given, as bytes of the SD file: the value of the data
// item nameField when one is named and the record has it (not blank), else the
// title line (not blank), else the SD file's name up to its first "." with "_"
// and the record number ("catalogue_17").
std::string RecordName(const SdRecord& record, const std::string& nameField,
                       const std::string& sdPath);

struct RecordFileName {
  std::string fileName;  // UTF-8: the MOL file name, "<name>.mol"
  std::string refusal;   // UTF-8: why the name cannot be one ("" when it can)
  bool ok() const { return refusal.empty(); }
};

// The MOL file name of a record's name. The name's bytes are UTF-8, or else
// CP932 (the system's own texts). Blanks around it go, its dots stay ("Lot
// 1.3" is "Lot 1.3.mol": CompoundName finds "Lot 1.3" again), and ".mol" is
// added unless it ends in ".mol" (any letter case) already. Refused:
// a name CheckRecordName refuses (blank, control characters, not CP932), one
// holding "/", and one making a file name longer than 255 bytes.
RecordFileName RecordFileNameFor(std::string_view name);

// The SD file "-" is standard input (read as it comes; its records are named
// "stdin_17" when they carry no name).
inline constexpr const char* kStandardInput = "-";

// --- the import -------------------------------------------------------------------

enum class ImportOutcome {
  kRegistered,
  kAlreadyRegistered,  // its name is registered with the same structure
  kRefused,            // also: its name is registered with another structure
  kNotV2000,
  kSameStructure,  // left out: its structure is registered already (skipSameStructure)
};

// What became of one record.
struct ImportRecord {
  int64_t number = 0;    // its number in the SD file, from 1
  std::string fileName;  // UTF-8: the MOL file name it was given ("" when none)
  ImportOutcome outcome = ImportOutcome::kRefused;
  std::string message;  // UTF-8: what is said about it, with its number ("" when registered)
  std::string sameAs;   // UTF-8: the registered compounds of the same structure ("" when none)
};

struct ImportSummary {
  int64_t records = 0;
  int64_t registered = 0;
  int64_t alreadyRegistered = 0;
  int64_t refused = 0;
  int64_t notV2000 = 0;
  int64_t sameStructure = 0;  // records that repeat a registered structure (registered or not)
  bool skippedSameStructure = false;
  // The messages of the first records not registered, for the closing
  // message, and of the first that repeat a registered structure.
  std::vector<std::string> listed;
  std::vector<std::string> listedSame;
  bool finished = false;  // false when an error or a stop request ended the run
  bool stopped = false;   // the sink asked the run to stop
  std::string error;      // the error that ended the run (UTF-8), shown with ShowError
};

struct ImportOptions {
  // The records registered before, as the sound index of the database (for
  // molFolder) has them: a record's structure is compared with theirs and
  // with the records registered earlier in the run (nullptr: no test, and a
  // registered name counts as already registered).
  const SoundIndex* registered = nullptr;
  // Leave out a record whose structure is registered already.
  bool skipSameStructure = false;
};

// Registers every record of the SD file at sdPath in the database file dbPath,
// with its MOL file in molFolder. For each record, in file order: a record that
// is not a MOL V2000 block is reported (SdRecordProblem) and passed over; its
// name (RecordName, RecordFileNameFor) is refused or taken; a name already in
// the database or given earlier in the run is "<name line>は登録済みです" when
// it was registered with the same structure, and refused
// (NameOfOtherStructureMessage) when not; the MOL block is prepared as a MOL
// file would be (PrepareMolText, whose refusal is reported); a structure
// registered already under other names is registered all the same and named
// with them, or left out with skipSameStructure; its MOL file, the block and
// the record's data items, is staged (never over a file of other content,
// which refuses the record; a file of the same bytes is taken as it is).
// Every kImportGroup records the staged MOL files are flushed to disk and put
// in place, then the group's records are appended (BatchRegistrar), so a
// record never names a MOL file that is not on disk.
//
// onRecord hears of every record as its fate is settled (those registered
// when their group is appended). The sink gets Progress(done, 1000) as the
// share of the file read, StopRequested between records (a stop keeps what
// was done and writes the group in hand), a file or database error through
// ShowError (the run ends there; a MOL file made for a record not appended is
// removed again), and at a finished run "SDファイルの登録を終了しました" with
// the counts and the first records not registered.
ImportSummary ImportSdFile(const std::string& sdPath, const std::string& dbPath,
                           const std::string& molFolder, const std::string& nameField,
                           Molecule& mol, MessageSink& sink,
                           const std::function<void(const ImportRecord&)>& onRecord = {},
                           const ImportOptions& options = {});

// The MOL file of an SD record: its MOL block (as read, V2000) and after its
// "M  END" the record's data items, as an SD file writes them.
std::string MolFileWithData(const std::string& molText, const SdRecord& record);

// The closing message of a run: "SDファイルの登録を終了しました" (or, after a
// stop, "SDファイルの登録を中止しました" and the counts), and when not
// everything was registered, the counts and the listed records.
std::string ImportFinishedMessage(const ImportSummary& summary);

// Records whose MOL files are put in place together (one flush of the disk).
inline constexpr size_t kImportGroup = 500;
// Messages of records not registered that the closing message lists.
inline constexpr size_t kImportListed = 20;

}  // namespace vuduzez
