// Batch registration of a folder of MOL files and deletion of a compound, the
// registration window's two bulk commands without the window.
#pragma once

#include <string>
#include <vector>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// A batch run flushes its appended records to disk after this many (and at
// its end), so that a power loss costs at most these last few.
inline constexpr int kBatchSyncEvery = 100;

enum class EntryOutcome {
  kRegistered,
  kAlreadyRegistered,
  kRefused,  // its name, the reader or key generation refused it, or it could not be read
  kSkipped,  // a name of 4 CP932 bytes or fewer, or not a regular file (quietly)
};

struct BatchEntry {
  std::string fileName;  // UTF-8, as listed
  EntryOutcome outcome = EntryOutcome::kSkipped;
  std::string reason;  // UTF-8: why it was refused, already registered or skipped
};

struct BatchSummary {
  std::vector<BatchEntry> entries;  // in processing order
  int registered = 0;
  int alreadyRegistered = 0;
  int refused = 0;
  int skipped = 0;
  bool finished = false;  // false when a database error ended the run
  std::string error;      // that error (UTF-8), already shown with MessageSink::ShowError
};

// Registers every entry of folder (names in byte order) that is not yet in the
// database file: the name is checked (CheckRecordName), the file read,
// completed and keyed (mol and keyfail are used as the current molecule and
// key failure flag), then the record is appended under the file name as
// listed, converted to CP932; the duplicate test and the append happen under
// the database's exclusive lock, which is released between entries. Per-entry
// outcomes and reasons go to the summary, not to ui: the run ends with one
// message, BatchFinishedMessage. MessageSink::Progress(done, total) after
// each entry.
// An empty folder path shows "Molファイルの在り場所が指定されていません". A
// database file error (missing, read-only, damaged, busy, full) ends the run
// (records appended before it stay, flushed to disk) and is shown with
// MessageSink::ShowError.
BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           std::string& keyfail, MessageSink& sink);

// "変換終了", followed, when some files were not registered, by how many
// were registered and a list of the others with their reasons (long lists
// are cut, saying how many more there were).
std::string BatchFinishedMessage(const BatchSummary& summary);

// Deletes every record whose name line is nameLine (CP932) and shows
// "<name line>を削除しました"; when there was none, shows the error
// NotInDatabaseMessage instead. Returns the number of
// records removed. Throws RuntimeError on a file error; the database file is
// then unchanged.
int DeleteCompound(const std::string& dbPath, const std::string& nameLine, MessageSink& sink);

}  // namespace vuduzez
