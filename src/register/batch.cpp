#include "register/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "database/connection_cache.h"
#include "database/record_store.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "register/store.h"

namespace vuduzez {

namespace {

// Keeps the reader's and key generation's messages for the summary instead
// of showing each of them.
class EntrySink : public MessageSink {
 public:
  void ShowMessage(const std::string&) override {}
};

// Lines of the closing message listed per kind before the rest is counted.
constexpr size_t kListedEntries = 20;

// The connection tables of a run's records are kept for the cache up to this
// many; a longer run leaves the cache to the next exact search, so that its
// memory does not grow with the run.
constexpr size_t kMaxCachedEntries = 20000;

}  // namespace

BatchRegistrar::BatchRegistrar(const std::string& dbPath)
    : dbPath_(dbPath), before_(StampOf(dbPath)), store_(dbPath, kBatchSyncEvery) {}

BatchRegistrar::~BatchRegistrar() { Finish(); }

void BatchRegistrar::Load() { store_.Load(); }

const std::string* BatchRegistrar::Registered(const std::string& nameLine) const {
  return store_.Registered(ListedName(nameLine));
}

EntryOutcome BatchRegistrar::Append(const std::string& nameLine, const PreparedStructure& prepared,
                                    std::string table, const FileStamp& molStamp,
                                    std::string& reason) {
  if (std::optional<std::string> already =
          store_.AppendIfNew({nameLine, prepared.weight, prepared.formula, prepared.key})) {
    // Another program registered it while this entry was being prepared.
    reason = AnsiToUtf8(*already) + kAlreadyRegistered;
    return EntryOutcome::kAlreadyRegistered;
  }
  if (!cacheGivenUp_) {
    if (added_.size() < kMaxCachedEntries) {
      added_.push_back(
          {std::string(BeforeFirst(nameLine, '.')), molStamp, CtStatus::kOk, {}, std::move(table)});
    } else {
      cacheGivenUp_ = true;
      added_ = {};
    }
  }
  return EntryOutcome::kRegistered;
}

void BatchRegistrar::Flush() { store_.Flush(); }

void BatchRegistrar::Finish() {
  if (finished_) return;
  finished_ = true;
  // Left as it is, the cache no longer matches the database: the next exact
  // search brings it up to date.
  if (!cacheGivenUp_) AppendToConnectionCache(dbPath_, before_, std::move(added_));
}

BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           MessageSink& sink) {
  namespace fs = std::filesystem;
  BatchSummary summary;
  if (folder.empty()) {
    sink.ShowMessage(kNoMolFolder);
    summary.finished = true;
    return summary;
  }

  // The exact search's cache is brought up to date however the run ends.
  BatchRegistrar store(dbPath);
  auto stop = [&](const std::string& error) {
    store.Finish();
    summary.error = error;
    sink.ShowError(error);
    return summary;
  };

  // The listing, in byte order of the names so that a run is reproducible.
  std::vector<std::string> names;
  {
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      names.push_back(it->path().filename().string());
    }
    if (ec) return stop(std::string(kFileNotFound) + ": " + folder);
  }
  std::sort(names.begin(), names.end());

  // The registered names, read once and kept in step with the file; entries
  // appended in this run join them, so a second file of the same name in one
  // run is a duplicate too.
  try {
    store.Load();
  } catch (const RuntimeError& e) {
    return stop(e.what());
  }
  // What was appended reaches the disk however the run ends.
  auto flushed = [&]() -> bool {
    try {
      store.Flush();
      return true;
    } catch (const RuntimeError& e) {
      if (summary.error.empty()) stop(e.what());
      return false;
    }
  };

  const int total = static_cast<int>(names.size());
  int done = 0;
  for (const std::string& name : names) {
    if (sink.StopRequested()) {
      summary.stopped = true;
      flushed();
      store.Finish();
      return summary;
    }
    BatchEntry entry;
    entry.fileName = name;
    const std::string path = folder + "/" + name;
    const EntryNameLine entryName = EntryNameLineFor(name);
    const std::string& nameLine = entryName.nameLine;
    const std::string* registered =
        entryName.verdict == EntryName::kOk ? store.Registered(nameLine) : nullptr;
    if (entryName.verdict == EntryName::kTooShort) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedShortName;
    } else if (!IsRegularFile(path)) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedNotRegularFile;
    } else if (entryName.verdict == EntryName::kRefused) {
      entry.outcome = EntryOutcome::kRefused;
      entry.reason = entryName.refusal;
    } else if (registered != nullptr) {
      entry.outcome = EntryOutcome::kAlreadyRegistered;
      entry.reason = AnsiToUtf8(*registered) + kAlreadyRegistered;
    } else {
      EntrySink entrySink;
      PreparedStructure prepared;
      const FileStamp molStamp = StampOf(path);  // before the read: a later edit is seen
      try {
        prepared = PrepareMolFile(mol, path, entrySink);
      } catch (const RuntimeError& e) {
        prepared.reason = e.what();
      }
      if (prepared) {
        try {
          entry.outcome =
              store.Append(nameLine, prepared, BuildConnectionTable(mol), molStamp, entry.reason);
        } catch (const RuntimeError& e) {
          entry.outcome = EntryOutcome::kRefused;
          entry.reason = e.what();
          ++summary.refused;
          summary.entries.push_back(std::move(entry));
          stop(e.what());
          flushed();
          return summary;
        }
      } else {
        entry.outcome = EntryOutcome::kRefused;
        entry.reason = prepared.reason;
      }
    }
    switch (entry.outcome) {
      case EntryOutcome::kRegistered:
        ++summary.registered;
        break;
      case EntryOutcome::kAlreadyRegistered:
        ++summary.alreadyRegistered;
        break;
      case EntryOutcome::kRefused:
        ++summary.refused;
        break;
      case EntryOutcome::kSkipped:
        ++summary.skipped;
        break;
    }
    summary.entries.push_back(std::move(entry));
    sink.Progress(++done, total);
  }
  if (!flushed()) return summary;
  store.Finish();
  summary.finished = true;
  sink.ShowMessage(BatchFinishedMessage(summary));
  return summary;
}

std::string BatchFinishedMessage(const BatchSummary& summary) {
  std::string text = kBatchFinished;
  if (summary.refused == 0 && summary.alreadyRegistered == 0) return text;
  text +=
      "\n\n" + BatchCountsMessage(summary.registered, summary.alreadyRegistered, summary.refused);
  auto list = [&](EntryOutcome outcome, const char* heading, bool withName) {
    size_t listed = 0, more = 0;
    for (const BatchEntry& e : summary.entries) {
      if (e.outcome != outcome) continue;
      if (listed == kListedEntries) {
        ++more;
        continue;
      }
      if (listed++ == 0) text += std::string("\n\n") + heading;
      text += "\n" + (withName ? e.fileName + ": " : std::string()) + e.reason;
    }
    if (more > 0) text += "\n" + MoreEntriesMessage(more);
  };
  list(EntryOutcome::kRefused, kRefusedFilesHeading, true);
  list(EntryOutcome::kAlreadyRegistered, kRegisteredFilesHeading, false);
  return text;
}

}  // namespace vuduzez
