// Appending records to a database that other processes use at the same time:
// the duplicate test and the append happen under one exclusive lock, the file
// must end with a whole record before anything is added, and appended records
// are flushed to disk.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "database/database.h"

namespace vuduzez {

// Where a database file stops being a sequence of whole records.
struct RecordDamage {
  size_t record = 0;            // number of the damaged record, from 1
  size_t offset = 0;            // byte offset of its first line, or of the missing line end
  bool missingLineEnd = false;  // four lines, but the last has no line end
};

struct RecordScan {
  size_t records = 0;
  std::optional<RecordDamage> damage;  // only ever the last record
};

// Walks the records of text with RecordReader; text starts at byte baseOffset
// of the file, with record number firstRecord. onName gets each name line as
// read.
RecordScan ScanRecords(std::string_view text, size_t baseOffset = 0, size_t firstRecord = 1,
                       const std::function<void(std::string_view)>& onName = {});

// The refusal shown when the database does not end with a whole record: it
// says where the damage is, so that the file can be mended by hand.
std::string DamageMessage(const RecordDamage& damage, const std::string& dbPath);

// The registered names of one database kept in step with the file, for
// registering one record or many. Between appends the lock is released, so
// other programs can read and change the database while a long batch runs;
// each append first catches up with what they did.
class RecordStore {
 public:
  // syncEvery: appended records are flushed to disk after that many appends
  // (1: each append is on disk before it returns), and by Flush.
  explicit RecordStore(std::string dbPath, int syncEvery = 1);
  ~RecordStore();  // flushes what is not flushed yet (errors are lost: call Flush)
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // Keeps only these registered names (trimmed) from now on, instead of every
  // name of the database: for a run that asks about a few names of a large
  // database. Call before Load or the first append.
  void Watch(const std::vector<std::string>& trimmedNames);

  // Reads the registered names under the shared lock. Throws RuntimeError.
  void Load();

  // The registered name line (as read) whose trimmed form is trimmedName, as
  // of the last look at the file; nullptr when there is none.
  const std::string* Registered(const std::string& trimmedName) const;

  // Under the exclusive lock: catches up with the file; when the trimmed name
  // line is registered, gives that line back and writes nothing; otherwise
  // appends the record (refusing a damaged file) and gives nullopt. Throws
  // RuntimeError (busy, read-only, damaged, write error); nothing is written.
  std::optional<std::string> AppendIfNew(const CompoundRecord& record);

  // The same without the duplicate test.
  void Append(const CompoundRecord& record);

  // AppendIfNew for many records under one lock, in order, with one write:
  // for each, the registered name line when it was a duplicate (of the file
  // or of a record before it). Nothing is written when it throws.
  std::vector<std::optional<std::string>> AppendNew(std::span<const CompoundRecord> records);

  // Flushes every record appended so far to disk. Throws RuntimeError.
  void Flush();

 private:
  void CatchUp(int fd, const struct ::stat& st);
  void Forget();
  void AddName(std::string_view line);
  std::optional<std::string> AppendLocked(const CompoundRecord& record, bool checkDuplicate);
  std::vector<std::optional<std::string>> AppendManyLocked(std::span<const CompoundRecord> records,
                                                           bool checkDuplicate);

  std::string path_;
  int syncEvery_;
  std::unordered_map<std::string, std::string> names_;  // trimmed -> as read
  bool watching_ = false;
  std::unordered_set<std::string> watched_;
  // What the names were read from: the file's identity, size, change time,
  // number of records, the damage at its end, and its last bytes (to tell a
  // grown file from a new one that happens to reuse the identity).
  bool known_ = false;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  off_t size_ = 0;
  timespec ctime_{};
  size_t records_ = 0;
  std::optional<RecordDamage> damage_;
  std::string lastBytes_;
  bool cleaned_ = false;  // stale replacement files removed once per store
  int unsyncedFd_ = -1;   // the file holding appends not yet flushed
  int unsynced_ = 0;
};

}  // namespace vuduzez
