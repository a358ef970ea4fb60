// The one way records are added to a database: the registered names kept in
// step with the file (database/record_store.h: the duplicate test and the
// append under one exclusive lock, flushed to disk), and every cache of the
// database brought along with what was appended: the screen index
// (database/screen_index.h) and the sound index with all its sections
// (database/sound_index.h: connection tables, screen fingerprints, identity
// layers). Single registration, batch registration, import and restoration
// append through it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "database/cache_stamp.h"
#include "database/database.h"
#include "database/record_store.h"
#include "database/screen_index.h"
#include "database/sound_index.h"

namespace vuduzez {

// One record to append and what its MOL file gave the sound model (its entry
// of the sound index; PerceiveEntryText). An entry whose status is
// kUnperceived (no MOL file) leaves the sound index to the next search.
struct AppendItem {
  CompoundRecord record;
  SoundEntry sound;
};

class RecordAppender {
 public:
  // molFolder: where the MOL files of the records are (the sound index is
  // made for one MOL folder); syncEvery as for RecordStore.
  RecordAppender(const std::string& dbPath, const std::string& molFolder, int syncEvery = 1);
  ~RecordAppender();  // Finish, errors lost
  RecordAppender(const RecordAppender&) = delete;
  RecordAppender& operator=(const RecordAppender&) = delete;

  // As RecordStore: the names to keep (before Load), reading them, and the
  // registered name line (as read) of a trimmed name.
  void Watch(const std::vector<std::string>& trimmedNames);
  void Load();
  const std::string* Registered(const std::string& trimmedName) const;

  // Appends the items whose names are new, in order, with one write under one
  // lock; for each, the registered name line it duplicates (then nothing is
  // written for it). Their cache entries are kept for Finish. Throws
  // RuntimeError; nothing is written then.
  std::vector<std::optional<std::string>> AppendNew(std::span<AppendItem> items);
  // The same for one item.
  std::optional<std::string> AppendIfNew(AppendItem item);

  // Flushes what was appended to disk. Throws RuntimeError.
  void Flush();

  // Brings the caches up to date with what was appended (once; later calls do
  // nothing). Nothing is written to a cache that another program's change of
  // the database made stale: the next search rebuilds it.
  void Finish();

 private:
  void Keep(AppendItem& item);

  std::string dbPath_;
  std::string molFolder_;
  FileStamp before_;
  RecordStore store_;
  uint64_t appendedBytes_ = 0;
  // What the caches keep of the records appended, up to a limit: a longer
  // run leaves them to the next search, so that memory does not grow with it.
  std::vector<ScreenEntry> screened_;
  std::vector<SoundEntry> sound_;
  bool screenGivenUp_ = false;
  bool soundGivenUp_ = false;
  bool finished_ = false;
};

// The limits: about 132 bytes a screen entry, 400 a sound entry.
inline constexpr size_t kMaxScreenEntries = 1000000;
inline constexpr size_t kMaxSoundEntries = 200000;

}  // namespace vuduzez
