// Batch registration of a folder of MOL files: the registration window's
// "構造データの一括作成" and `vuduzez-cli register`. Its naming rules are those
// of register/store.h.
#pragma once

#include <string>
#include <vector>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"
#include "register/delete.h"

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
  bool finished = false;  // false when a database error or a stop request ended the run
  bool stopped = false;   // the sink asked the run to stop; nothing was shown for it
  std::string error;      // the database error (UTF-8), already shown with ShowError
};

// Registers every entry of folder (names in byte order) that is not yet in the
// database file: prepared as PrepareMolFile does (mol is used as the current
// molecule), then appended under the file name as listed, converted to CP932.
// Shows "<line>は登録済みです" for a registered name, the reader's and key
// generation's messages prefixed with the file name, and "変換終了" at the end;
// MessageSink::Progress(done, total) after each entry. Before each entry it asks
// MessageSink::StopRequested and ends early (stopped, no closing message) when
// asked to. An empty folder path shows "Molファイルの在り場所が指定されていません".
// A database file error ends the run (records appended before it stay) and is
// shown with MessageSink::ShowError.
BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           MessageSink& sink);

}  // namespace vuduzez
