// Batch registration of a folder of MOL files and deletion of a compound, the
// registration window's two bulk commands without the window.
#pragma once

#include <string>
#include <vector>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

enum class EntryOutcome {
  kRegistered,
  kAlreadyRegistered,
  kRefused,  // the reader or key generation refused it, or it could not be read
  kSkipped,  // a name of 4 CP932 bytes or fewer, or not a regular file (quietly)
};

struct BatchEntry {
  std::string fileName;  // UTF-8, as listed
  EntryOutcome outcome = EntryOutcome::kSkipped;
  std::string reason;  // UTF-8: the message shown, or why it was skipped
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
// database file: read, complete, key (mol and keyfail are used as the current
// molecule and key failure flag), then AppendRecord under the file name as
// listed, converted to CP932. Shows "<line>は登録済みです" for a registered name,
// the reader's and key generation's messages prefixed with the file name, and
// "変換終了" at the end; MessageSink::Progress(done, total) after each entry. An empty
// folder path shows "Molファイルの在り場所が指定されていません". A database file
// error ends the run (records appended before it stay) and is shown with
// MessageSink::ShowError.
BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           std::string& keyfail, MessageSink& sink);

// Deletes every record whose name line is nameLine (CP932) and shows
// "<name line>を削除しました". Returns the number of records removed. Throws
// RuntimeError on a file error; the database file is then unchanged.
int DeleteCompound(const std::string& dbPath, const std::string& nameLine,
                   const std::string& scratchFolder, MessageSink& sink);

}  // namespace vuduzez
