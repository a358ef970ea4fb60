#include "database/appender.h"

namespace vuduzez {

RecordAppender::RecordAppender(const std::string& dbPath, const std::string& molFolder,
                               int syncEvery)
    : dbPath_(dbPath),
      molFolder_(molFolder),
      before_(StampOf(dbPath)),
      store_(dbPath, syncEvery),
      soundGivenUp_(molFolder.empty()) {}

RecordAppender::~RecordAppender() { Finish(); }

void RecordAppender::Watch(const std::vector<std::string>& trimmedNames) {
  store_.Watch(trimmedNames);
}

void RecordAppender::Load() { store_.Load(); }

const std::string* RecordAppender::Registered(const std::string& trimmedName) const {
  return store_.Registered(trimmedName);
}

void RecordAppender::Keep(AppendItem& item) {
  appendedBytes_ += RecordSize(item.record);
  if (!screenGivenUp_) {
    if (screened_.size() < kMaxScreenEntries) {
      screened_.push_back(ScreenEntryOf(item.record.key));
    } else {
      screenGivenUp_ = true;
      screened_ = {};
    }
  }
  if (!soundGivenUp_) {
    if (sound_.size() < kMaxSoundEntries &&
        item.sound.perceived.status != chem::RecordStatus::kUnperceived) {
      sound_.push_back(std::move(item.sound));
    } else {
      soundGivenUp_ = true;
      sound_ = {};
    }
  }
}

std::vector<std::optional<std::string>> RecordAppender::AppendNew(std::span<AppendItem> items) {
  std::vector<CompoundRecord> records;
  records.reserve(items.size());
  for (const AppendItem& item : items) records.push_back(item.record);
  std::vector<std::optional<std::string>> already = store_.AppendNew(records);
  for (size_t i = 0; i < items.size(); ++i) {
    if (!already[i]) Keep(items[i]);
  }
  return already;
}

std::optional<std::string> RecordAppender::AppendIfNew(AppendItem item) {
  return AppendNew({&item, 1}).front();
}

void RecordAppender::Flush() { store_.Flush(); }

void RecordAppender::Finish() {
  if (finished_) return;
  finished_ = true;
  if (appendedBytes_ == 0) return;
  // Each cache checks that the file grew by exactly these records since
  // before_ (no other program changed it) and that it was valid then.
  if (!screenGivenUp_) AppendToScreenIndex(dbPath_, before_, appendedBytes_, screened_);
  if (!soundGivenUp_) AppendToSoundIndex(dbPath_, before_, appendedBytes_, molFolder_, sound_);
}

}  // namespace vuduzez
