// Batch registration of a folder of MOL files: the registration window's
// "構造データの一括作成" and `vuduzez-cli register`. Its naming rules are those
// of register/store.h.
#pragma once

#include <string>
#include <vector>

#include "database/cache_stamp.h"
#include "database/record_store.h"
#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"
#include "register/delete.h"
#include "register/prepare.h"
#include "search/screen_index.h"
#include "search/sound_index.h"

namespace vuduzez {

// A batch run flushes its appended records to disk after this many (and at
// its end), so that a power loss costs at most these last few.
inline constexpr int kBatchSyncEvery = 100;
// A run keeps at most this many entries for the exact search's index (about
// 400 bytes each); a longer one leaves the index to the next search.
inline constexpr size_t kMaxSoundEntries = 200000;

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
  bool finished = false;  // false when a database error or a stop request ended the run
  bool stopped = false;   // the sink asked the run to stop; nothing was shown for it
  std::string error;      // the database error (UTF-8), already shown with ShowError
};

// Threads that prepare entries: the number of cores, or VUDUZEZ_THREADS.
size_t BatchThreads();

// Registers every entry of folder (names in byte order) that is not yet in the
// database file: the name is checked (EntryNameLineFor), the file prepared as
// PrepareMolFile does (mol is used as the current molecule), then the record
// is appended under the file name as listed, converted to CP932; the duplicate
// test and the append happen under the database's exclusive lock, which is
// released between entries. Per-entry outcomes and reasons go to the summary,
// not to the sink (one message box per file would need a click per file): the
// run ends with one message, BatchFinishedMessage.
// Entries are prepared on BatchThreads() threads a block at a time and
// appended in listing order, so the database is the same with any number.
// MessageSink::Progress(done, total) after each entry. Before each entry it
// asks MessageSink::StopRequested and ends early (stopped, no closing
// message) when asked to. An empty folder path shows
// "Molファイルの在り場所が指定されていません". A database file error (missing,
// read-only, damaged, busy, full) ends the run and is shown with
// MessageSink::ShowError. Records appended before a stop or an error stay,
// flushed to disk.
BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           MessageSink& sink);

// Batch registration's rules for appending entries one at a time, for the
// import of an SD file: the registered names kept in step with the database,
// the duplicate rule, the append under the database's lock, the flush every
// kBatchSyncEvery records, and the exact search's cache and the screen index,
// brought up to date once at the end (BatchRegister itself appends its blocks with
// RecordStore::AppendNew).
class BatchRegistrar {
 public:
  // molFolder: where the MOL files of the appended records are (for the
  // exact search's index).
  explicit BatchRegistrar(const std::string& dbPath, const std::string& molFolder = {});
  ~BatchRegistrar();  // Finish, errors lost
  BatchRegistrar(const BatchRegistrar&) = delete;
  BatchRegistrar& operator=(const BatchRegistrar&) = delete;

  // Reads the registered names. Throws RuntimeError.
  void Load();
  // The registered name line (as read) that nameLine (CP932) duplicates, or nullptr.
  const std::string* Registered(const std::string& nameLine) const;
  // Appends the prepared structure under nameLine, unless another program
  // registered that name meanwhile: kRegistered, or kAlreadyRegistered with
  // the reason "<name line>は登録済みです". molPath: its MOL file (whose
  // bytes are prepared.molText). Throws RuntimeError; nothing is appended then.
  EntryOutcome Append(const std::string& nameLine, const PreparedStructure& prepared,
                      std::string& reason, const std::string& molPath = {});
  // Flushes what was appended to disk. Throws RuntimeError.
  void Flush();
  // Brings the exact search's cache up to date (once; later calls do nothing).
  void Finish();

 private:
  std::string dbPath_;
  FileStamp before_;
  RecordStore store_;
  // The same for the screen index (132 bytes a record).
  std::vector<ScreenEntry> screened_;
  uint64_t appendedBytes_ = 0;
  static constexpr size_t kMaxScreenEntries = 1000000;
  bool screenGivenUp_ = false;
  // The same for the exact search's index (its entries perceived here).
  std::string molFolder_;
  std::vector<SoundEntry> sound_;
  uint64_t soundBytes_ = 0;
  bool soundGivenUp_ = false;
  bool finished_ = false;
};

// "変換終了", followed, when some files were not registered, by how many
// were registered and a list of the others with their reasons (long lists
// are cut, saying how many more there were).
std::string BatchFinishedMessage(const BatchSummary& summary);

}  // namespace vuduzez
