#include "database/record_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

constexpr size_t kLastBytes = 64;

// Bytes [from, to) of an open file.
std::string ReadRange(int fd, off_t from, off_t to, const std::string& path) {
  std::string bytes(static_cast<size_t>(to - from), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, from + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError(path + " (" + std::strerror(errno) + ")", kCannotReadFile);
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string LastBytes(const std::string& text) {
  return text.substr(text.size() - std::min(text.size(), kLastBytes));
}

std::string RecordBytes(const CompoundRecord& r) {
  std::string bytes;
  bytes.reserve(r.name.size() + r.weight.size() + r.formula.size() + r.key.size() + 8);
  for (const std::string* line : {&r.name, &r.weight, &r.formula, &r.key}) {
    bytes += *line;
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace

RecordScan ScanRecords(std::string_view text, size_t baseOffset, size_t firstRecord,
                       const std::function<void(std::string_view)>& onName) {
  RecordScan scan;
  RecordReader reader(text, baseOffset == 0);
  RecordLines r;
  while (reader.Next(r)) {
    ++scan.records;
    if (onName) onName(r.name);
    if (r.count < 4) {
      // Only the last record can be short; its name line is a view into text.
      const auto offset = static_cast<size_t>(r.name.data() - text.data());
      scan.damage = RecordDamage{firstRecord + scan.records - 1, baseOffset + offset, false};
    }
  }
  const bool onlyMark = baseOffset == 0 && text == kByteOrderMark;
  if (!scan.damage && !text.empty() && !onlyMark && text.back() != '\n' && text.back() != '\r') {
    // A last line without its line end: the next record would continue it.
    scan.damage = RecordDamage{firstRecord + scan.records - (scan.records > 0 ? 1 : 0),
                               baseOffset + text.size(), true};
  }
  return scan;
}

std::string DamageMessage(const RecordDamage& damage, const std::string& dbPath) {
  return damage.missingLineEnd ? MissingLineEndMessage(damage.record, damage.offset, dbPath)
                               : ShortRecordMessage(damage.record, damage.offset, dbPath);
}

RecordStore::RecordStore(std::string dbPath, int syncEvery)
    : path_(std::move(dbPath)), syncEvery_(syncEvery < 1 ? 1 : syncEvery) {}

RecordStore::~RecordStore() {
  if (unsyncedFd_ >= 0) {
    ::fdatasync(unsyncedFd_);
    ::close(unsyncedFd_);
  }
}

void RecordStore::Watch(const std::vector<std::string>& trimmedNames) {
  watching_ = true;
  watched_.clear();
  watched_.insert(trimmedNames.begin(), trimmedNames.end());
  watchedLengths_.reset();
  for (const std::string& name : watched_) {
    if (name.size() < watchedLengths_.size()) watchedLengths_.set(name.size());
  }
  Forget();
}

void RecordStore::AddName(std::string_view line) {
  const std::string_view trimmed = TrimView(line);
  if (watching_) {
    if (trimmed.size() < watchedLengths_.size() && !watchedLengths_.test(trimmed.size())) return;
    if (watched_.find(trimmed) == watched_.end()) return;
  }
  names_.emplace(trimmed, line);
}

void RecordStore::Load() {
  DatabaseLock lock(path_, LockMode::kShared);
  CatchUp(lock.fd(), lock.status());
}

const std::string* RecordStore::Registered(const std::string& trimmedName) const {
  auto found = names_.find(trimmedName);
  return found == names_.end() ? nullptr : &found->second;
}

void RecordStore::Forget() {
  known_ = false;
  names_.clear();
}

void RecordStore::CatchUp(int fd, const struct ::stat& st) {
  auto addName = [this](std::string_view line) { AddName(line); };
  // Unchanged, or grown at its end; anything else is read again whole.
  const bool sameFile =
      known_ && st.st_dev == dev_ && st.st_ino == ino_ && !damage_ &&
      (st.st_size == size_
           ? SameTime(st.st_ctim, ctime_)
           : st.st_size > size_ && ReadRange(fd, size_ - static_cast<off_t>(lastBytes_.size()),
                                             size_, path_) == lastBytes_);
  if (sameFile) {
    if (st.st_size == size_) return;
    // Records another program appended.
    const std::string text = ReadRange(fd, size_, st.st_size, path_);
    const RecordScan scan = ScanRecords(text, static_cast<size_t>(size_), records_ + 1, addName);
    records_ += scan.records;
    damage_ = scan.damage;
    lastBytes_ = LastBytes(lastBytes_ + text);
    size_ += static_cast<off_t>(text.size());
  } else {
    // The whole file, in chunks: memory independent of its size.
    Forget();
    records_ = 0;
    damage_.reset();
    RecordStream stream(fd, path_);
    for (RecordLines r; stream.Next(r);) {
      ++records_;
      addName(r.name);
      // Only the last record can be short.
      if (r.count < 4) {
        damage_ = RecordDamage{records_, static_cast<size_t>(stream.RecordOffset()), false};
      }
    }
    lastBytes_ = stream.LastBytes();
    size_ = stream.Offset();
    const bool onlyMark = stream.ByteOrderMark() && size_ == off_t{kByteOrderMark.size()};
    if (!damage_ && !lastBytes_.empty() && !onlyMark && lastBytes_.back() != '\n' &&
        lastBytes_.back() != '\r') {
      // A last line without its line end: the next record would continue it.
      damage_ = RecordDamage{records_ > 0 ? records_ : 1, static_cast<size_t>(size_), true};
    }
  }
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  ctime_ = st.st_ctim;
  known_ = true;
}

std::optional<std::string> RecordStore::AppendIfNew(const CompoundRecord& record) {
  return AppendLocked(record, true);
}

void RecordStore::Append(const CompoundRecord& record) { AppendLocked(record, false); }

std::optional<std::string> RecordStore::AppendLocked(const CompoundRecord& record,
                                                     bool checkDuplicate) {
  return AppendManyLocked({&record, 1}, checkDuplicate).front();
}

std::vector<std::optional<std::string>> RecordStore::AppendNew(
    std::span<const CompoundRecord> records) {
  if (records.empty()) return {};
  return AppendManyLocked(records, true);
}

std::vector<std::optional<std::string>> RecordStore::AppendManyLocked(
    std::span<const CompoundRecord> records, bool checkDuplicate) {
  DatabaseLock lock(path_, LockMode::kExclusive);
  if (!cleaned_) {
    RemoveStaleReplacements(path_);
    cleaned_ = true;
  }
  CatchUp(lock.fd(), lock.status());
  std::vector<std::optional<std::string>> already(records.size());
  std::string bytes;
  std::unordered_map<std::string, std::string> added;  // this call's names
  size_t appended = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const CompoundRecord& record = records[i];
    if (checkDuplicate) {
      const std::string trimmed = Trim(record.name);
      if (const std::string* line = Registered(trimmed)) {
        already[i] = *line;
        continue;
      }
      if (auto found = added.find(trimmed); found != added.end()) {
        already[i] = found->second;
        continue;
      }
      added.emplace(trimmed, record.name);
    }
    if (damage_) throw RuntimeError(DamageMessage(*damage_, path_));
    bytes += RecordBytes(record);
    ++appended;
  }
  if (appended == 0) return already;
  try {
    AppendAll(lock.fd(), path_, size_, bytes);
  } catch (...) {
    Forget();
    throw;
  }
  const RecordScan scan = ScanRecords(bytes, static_cast<size_t>(size_), records_ + 1,
                                      [this](std::string_view line) { AddName(line); });
  records_ += scan.records;
  damage_ = scan.damage;
  size_ += static_cast<off_t>(bytes.size());
  lastBytes_ = LastBytes(lastBytes_ + bytes);
  struct ::stat now;
  if (::fstat(lock.fd(), &now) == 0) ctime_ = now.st_ctim;

  unsynced_ += static_cast<int>(appended);
  if (unsynced_ >= syncEvery_) {
    SyncData(lock.fd(), path_);
    if (unsyncedFd_ >= 0) ::close(unsyncedFd_);
    unsyncedFd_ = -1;
    unsynced_ = 0;
    return already;
  }
  // Keep a descriptor of this file for the flush to come. Not a duplicate of
  // the lock's descriptor: that would keep the lock held. While the lock is
  // held the path names this very file.
  struct stat held;
  if (unsyncedFd_ >= 0 &&
      (::fstat(unsyncedFd_, &held) != 0 || held.st_ino != ino_ || held.st_dev != dev_)) {
    // A file another program replaced since: it copied our records into the
    // new file and flushed that.
    ::close(unsyncedFd_);
    unsyncedFd_ = -1;
  }
  if (unsyncedFd_ < 0) unsyncedFd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (unsyncedFd_ < 0) {
    SyncData(lock.fd(), path_);
    unsynced_ = 0;
  }
  return already;
}

void RecordStore::Flush() {
  if (unsyncedFd_ < 0) return;
  const int fd = unsyncedFd_;
  unsyncedFd_ = -1;
  unsynced_ = 0;
  try {
    SyncData(fd, path_);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

}  // namespace vuduzez
