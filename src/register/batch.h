// Batch registration of a folder of MOL files: the registration window's
// "構造データの一括作成" and `vuduzez-cli register`. Its naming rules are those
// of register/store.h.
#pragma once

#include <string>
#include <vector>

#include "database/sound_index.h"
#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// A batch run flushes its appended records to disk after this many (and at
// its end), so that a power loss costs at most these last few; it is also
// the block of entries prepared together.
inline constexpr int kBatchSyncEvery = 100;

enum class EntryOutcome {
  kRegistered,
  kAlreadyRegistered,
  kRefused,  // its name, the reader or key generation refused it, it could not be read, or its
             // copy would replace another file in the MOL folder
  kSkipped,  // a name of 4 CP932 bytes or fewer, or not a regular file (quietly)
  kSameStructure,  // left out: its structure is registered already (skipSameStructure)
};

struct BatchEntry {
  std::string fileName;  // UTF-8, as listed
  EntryOutcome outcome = EntryOutcome::kSkipped;
  std::string reason;  // UTF-8: why it was refused, already registered or skipped
  // UTF-8: the registered compounds of the same structure, joined by "、"
  // (registered entries and kSameStructure ones; "" when none).
  std::string sameAs;
};

struct BatchSummary {
  std::vector<BatchEntry> entries;  // in processing order
  int registered = 0;
  int alreadyRegistered = 0;
  int refused = 0;
  int skipped = 0;
  int sameStructure = 0;  // entries that repeat a registered structure (registered or not)
  bool skippedSameStructure = false;  // those were left out
  bool finished = false;              // false when a database error or a stop request ended the run
  bool stopped = false;               // the sink asked the run to stop; nothing was shown for it
  std::string error;                  // the database error (UTF-8), already shown with ShowError
};

struct BatchOptions {
  // The MOL folder of the database. A batch folder other than it has every
  // file it registers copied into it (MolCopyPathFor, never over a file of
  // other content: that entry is refused), so that every record names a MOL
  // file there. Empty: the batch folder is taken as the MOL folder.
  std::string molFolder;
  // The records registered before, as the sound index of the database (for
  // the MOL folder) has them: each entry's structure is compared with theirs
  // and with the entries registered earlier in the run (nullptr: no test).
  const SoundIndex* registered = nullptr;
  // Leave out an entry whose structure is registered already.
  bool skipSameStructure = false;
};

// Threads that prepare entries: the number of cores, or VUDUZEZ_THREADS.
size_t BatchThreads();

// Registers every entry of folder (names in byte order; the trash folder and
// half-written files of ours passed over) that is not yet in the database
// file: the name is checked (EntryNameLineFor), the file prepared as
// PrepareMolFile does (mol is used as the current molecule) and perceived by
// the sound model, then the record is appended under the file name as
// listed, converted to CP932, with every cache brought along
// (database/appender.h); the duplicate test and the append happen under the
// database's exclusive lock, which is released between blocks. An entry of a
// structure registered already (options.registered, or earlier in the run) is
// registered all the same and named with the compounds it repeats, or left
// out with skipSameStructure. Per-entry outcomes and reasons go to the
// summary, not to the sink (one message box per file would need a click per
// file): the run ends with one message, BatchFinishedMessage.
// Entries are prepared on BatchThreads() threads a block at a time and
// appended in listing order, so the database is the same with any number.
// MessageSink::Progress(done, total) after each entry. Before each entry it
// asks MessageSink::StopRequested and ends early (stopped, no closing
// message) when asked to. An empty folder path shows
// "Molファイルの在り場所が指定されていません". A database file error (missing,
// read-only, damaged, busy, full) ends the run and is shown with
// MessageSink::ShowError. Records appended before a stop or an error stay,
// flushed to disk, and so do their copies; a copy made for a record that was
// not appended is removed again.
BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           MessageSink& sink, const BatchOptions& options = {});

// "変換終了", followed, when some files were not registered, by how many
// were registered and a list of the others with their reasons (long lists
// are cut, saying how many more there were).
std::string BatchFinishedMessage(const BatchSummary& summary);

}  // namespace vuduzez
