#include "register/batch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "database/record_store.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "register/store.h"
#include "search/screen_index.h"

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

// The counts of one more entry, or of every entry.
void Recount(BatchSummary& summary, const BatchEntry& entry) {
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
}

void Recount(BatchSummary& summary) {
  summary.registered = summary.alreadyRegistered = summary.refused = summary.skipped = 0;
  for (const BatchEntry& e : summary.entries) Recount(summary, e);
}

// The entries are prepared on other threads: the current molecule is left
// as a run on one thread leaves it, prepared from the last file prepared.
void SetCurrentMolecule(Molecule& mol, const std::string& path) {
  if (path.empty()) return;
  EntrySink quiet;
  try {
    PrepareMolFile(mol, path, quiet);
  } catch (const RuntimeError&) {
  }
}

}  // namespace

BatchRegistrar::BatchRegistrar(const std::string& dbPath, const std::string& molFolder)
    : dbPath_(dbPath),
      before_(StampOf(dbPath)),
      store_(dbPath, kBatchSyncEvery),
      molFolder_(molFolder),
      soundGivenUp_(molFolder.empty()) {}

BatchRegistrar::~BatchRegistrar() { Finish(); }

void BatchRegistrar::Load() { store_.Load(); }

const std::string* BatchRegistrar::Registered(const std::string& nameLine) const {
  return store_.Registered(ListedName(nameLine));
}

EntryOutcome BatchRegistrar::Append(const std::string& nameLine, const PreparedStructure& prepared,
                                    std::string& reason, const std::string& molPath) {
  if (std::optional<std::string> already =
          store_.AppendIfNew({nameLine, prepared.weight, prepared.formula, prepared.key})) {
    // Another program registered it while this entry was being prepared.
    reason = AnsiToUtf8(*already) + kAlreadyRegistered;
    return EntryOutcome::kAlreadyRegistered;
  }
  // What the caches keep of the records is kept up to a limit; a longer run
  // leaves a cache to the next search, so that its memory does not grow with
  // the run.
  if (!screenGivenUp_) {
    if (screened_.size() < kMaxScreenEntries) {
      screened_.push_back(ScreenEntryOf(prepared.key));
      appendedBytes_ += RecordSize({nameLine, prepared.weight, prepared.formula, prepared.key});
    } else {
      screenGivenUp_ = true;
      screened_ = {};
    }
  }
  if (!soundGivenUp_) {
    if (sound_.size() < kMaxSoundEntries && !molPath.empty()) {
      sound_.push_back(PerceiveEntryText(std::string(BeforeFirst(nameLine, '.')),
                                         MolStampOf(molPath), prepared.molText));
      soundBytes_ += RecordSize({nameLine, prepared.weight, prepared.formula, prepared.key});
    } else {
      soundGivenUp_ = true;
      sound_ = {};
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
  if (!screenGivenUp_) AppendToScreenIndex(dbPath_, before_, appendedBytes_, screened_);
  if (!soundGivenUp_) AppendToSoundIndex(dbPath_, before_, soundBytes_, molFolder_, sound_);
}

size_t BatchThreads() {
  if (const char* env = std::getenv("VUDUZEZ_THREADS"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const long n = std::strtol(env, &end, 10);
    if (end != nullptr && *end == '\0' && n >= 1 && n <= 256) return static_cast<size_t>(n);
  }
  return std::max(1u, std::thread::hardware_concurrency());
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

  // What the screen index and the exact search's index keep of the records
  // appended; they are brought up to date however the run ends.
  const FileStamp before = StampOf(dbPath);
  std::vector<ScreenEntry> screened;
  // And the exact search's index: the folder is its MOL folder when the
  // index says so (AppendToSoundIndex checks).
  std::vector<SoundEntry> sound;
  std::atomic<bool> soundGivenUp{false};  // the workers read it
  uint64_t addedBytes = 0;
  bool cacheUpdated = false;
  auto updateCache = [&] {
    if (!cacheUpdated) {
      AppendToScreenIndex(dbPath, before, addedBytes, screened);
      if (!soundGivenUp) AppendToSoundIndex(dbPath, before, addedBytes, folder, sound);
    }
    cacheUpdated = true;
  };
  auto stop = [&](const std::string& error) {
    updateCache();
    summary.error = error;
    sink.ShowError(error);
    return summary;
  };

  // The listing, in byte order of the names so that a run is reproducible.
  // Half-written MOL files a killed store or import left there go first.
  RemoveUnfinishedNewFiles(folder);
  std::vector<std::string> names;
  {
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      std::string name = it->path().filename().string();
      // A MOL file a killed store or import was writing is not an entry.
      if (!IsUnfinishedNewFile(name)) names.push_back(std::move(name));
    }
    if (ec) return stop(std::string(kFileNotFound) + ": " + folder);
  }
  std::sort(names.begin(), names.end());

  // What each entry is, from its name and the file system; the names that
  // can be registered are the ones the store watches for.
  std::vector<EntryNameLine> entryNames;
  std::vector<std::string> watched;
  entryNames.reserve(names.size());
  for (const std::string& name : names) {
    entryNames.push_back(EntryNameLineFor(name));
    if (entryNames.back().verdict == EntryName::kOk) {
      watched.push_back(ListedName(entryNames.back().nameLine));
    }
  }

  // The registered names among those, read once and kept in step with the
  // file; entries appended in this run join them, so a second file of the
  // same name in one run is a duplicate too.
  RecordStore store(dbPath, kBatchSyncEvery);
  store.Watch(watched);
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

  // Entries are prepared (read, formula, key, connection table) a block at a
  // time on every core, then taken in order on this thread: the records are
  // appended in listing order, so the database is the same whatever the
  // number of threads. With more than one thread the next block is prepared
  // while this thread appends and flushes the current one.
  struct Work {
    bool registered = false;  // registered when its block was started
    bool regular = false;     // a regular file (looked at when its name is not too short)
    bool prepare = false;
    PreparedStructure prepared;
    ScreenEntry screen;  // what the screen index keeps of it
    SoundEntry sound;    // and the exact search's index
  };
  struct Block {
    size_t from = 0;
    size_t to = 0;
    std::vector<Work> work;
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    void Join() {
      for (std::thread& t : workers) t.join();
      workers.clear();
    }
    ~Block() { Join(); }  // however the run ends, before what the workers use goes
  };
  const size_t threads = BatchThreads();
  std::string lastPrepared;  // the file the current molecule was last prepared from
  const int total = static_cast<int>(names.size());
  int done = 0;
  auto stopped = [&] {
    summary.stopped = true;
    flushed();
    updateCache();
    SetCurrentMolecule(mol, lastPrepared);
    return summary;
  };
  auto prepareSome = [&](Block& block) {
    std::unique_ptr<Molecule> own;
    for (size_t k = block.next++; k < block.work.size(); k = block.next++) {
      Work& w = block.work[k];
      const EntryNameLine& entryName = entryNames[block.from + k];
      if (entryName.verdict == EntryName::kTooShort) continue;
      const std::string path = folder + "/" + names[block.from + k];
      w.regular = IsRegularFile(path);
      w.prepare = w.regular && entryName.verdict == EntryName::kOk && !w.registered;
      if (!w.prepare) continue;
      if (!own) own = std::make_unique<Molecule>();
      EntrySink entrySink;
      const MolStamp molStamp = MolStampOf(path);  // before the read: a later edit is seen
      try {
        w.prepared = PrepareMolFile(*own, path, entrySink);
      } catch (const RuntimeError& e) {
        w.prepared.reason = e.what();
      }
      if (w.prepared) {
        w.screen = ScreenEntryOf(w.prepared.key);
        if (!soundGivenUp) {
          w.sound = PerceiveEntryText(std::string(BeforeFirst(entryName.nameLine, '.')), molStamp,
                                      w.prepared.molText);
        }
      }
    }
  };
  // Starts preparing the block at from on that many threads (none: the
  // caller prepares it). Which entries are registered already is looked up
  // here: the workers never read the store while this thread appends.
  auto startBlock = [&](Block& block, size_t from, size_t workers) {
    block.from = from;
    block.to = std::min(names.size(), from + kBatchSyncEvery);
    block.work.assign(block.to - from, Work{});
    for (size_t k = 0; k < block.work.size(); ++k) {
      const EntryNameLine& entryName = entryNames[from + k];
      block.work[k].registered = entryName.verdict == EntryName::kOk &&
                                 store.Registered(ListedName(entryName.nameLine)) != nullptr;
    }
    block.next = 0;
    for (size_t t = 0; t < workers; ++t) block.workers.emplace_back(prepareSome, std::ref(block));
  };
  Block blocks[2];
  Block* current = &blocks[0];
  Block* coming = &blocks[1];
  const bool pipelined = threads > 1;
  if (pipelined && !names.empty()) startBlock(*current, 0, threads);
  // A block is one append and one flush to disk.
  for (size_t from = 0; from < names.size(); from += kBatchSyncEvery) {
    if (sink.StopRequested()) return stopped();
    const size_t to = std::min(names.size(), from + kBatchSyncEvery);
    if (pipelined) {
      current->Join();
      if (to < names.size()) startBlock(*coming, to, threads);
    } else {
      startBlock(*current, from, 0);
      prepareSome(*current);
    }
    std::vector<Work>& work = current->work;

    // Entries in order. The records of the block are appended together when
    // it ends (or a stop request comes first): they count as registered until
    // the append says otherwise.
    std::vector<CompoundRecord> records;
    std::vector<size_t> recordEntry;  // index in summary.entries
    std::vector<size_t> recordWork;
    // Appends what is pending; false when the database refused (the run ends).
    auto appendPending = [&]() -> bool {
      if (records.empty()) return true;
      std::vector<std::optional<std::string>> already;
      size_t written = records.size();
      std::string error;
      try {
        already = store.AppendNew(records);
      } catch (const RuntimeError&) {
        // Nothing of the block was written: one at a time, up to the record
        // the database refuses.
        already.clear();
        for (written = 0; written < records.size(); ++written) {
          try {
            already.push_back(store.AppendNew({&records[written], 1}).front());
          } catch (const RuntimeError& e) {
            error = e.what();
            break;
          }
        }
      }
      for (size_t k = 0; k < written; ++k) {
        BatchEntry& entry = summary.entries[recordEntry[k]];
        if (already[k]) {
          // Another program registered it while this entry was being prepared.
          entry.outcome = EntryOutcome::kAlreadyRegistered;
          entry.reason = AnsiToUtf8(*already[k]) + kAlreadyRegistered;
          --summary.registered;
          ++summary.alreadyRegistered;
        } else {
          Work& w = work[recordWork[k]];
          addedBytes += RecordSize(records[k]);
          screened.push_back(w.screen);
          if (!soundGivenUp && sound.size() < kMaxSoundEntries) {
            sound.push_back(std::move(w.sound));
          } else if (!soundGivenUp) {
            soundGivenUp = true;
            sound = {};
          }
        }
      }
      if (!error.empty()) {
        // The run ends at the refused record.
        summary.entries.resize(recordEntry[written] + 1);
        summary.entries.back().outcome = EntryOutcome::kRefused;
        summary.entries.back().reason = error;
        Recount(summary);
      }
      records.clear();
      recordEntry.clear();
      recordWork.clear();
      if (error.empty()) return true;
      stop(error);
      flushed();
      SetCurrentMolecule(mol, lastPrepared);
      return false;
    };
    for (size_t i = from; i < to; ++i) {
      if (sink.StopRequested()) {
        if (!appendPending()) return summary;
        return stopped();
      }
      Work& w = work[i - from];
      BatchEntry entry;
      entry.fileName = names[i];
      const EntryNameLine& entryName = entryNames[i];
      const std::string& nameLine = entryName.nameLine;
      const std::string* registered =
          entryName.verdict == EntryName::kOk ? store.Registered(ListedName(nameLine)) : nullptr;
      if (entryName.verdict == EntryName::kTooShort) {
        entry.outcome = EntryOutcome::kSkipped;
        entry.reason = kSkippedShortName;
      } else if (!w.regular) {
        entry.outcome = EntryOutcome::kSkipped;
        entry.reason = kSkippedNotRegularFile;
      } else if (entryName.verdict == EntryName::kRefused) {
        entry.outcome = EntryOutcome::kRefused;
        entry.reason = entryName.refusal;
      } else if (registered != nullptr) {
        entry.outcome = EntryOutcome::kAlreadyRegistered;
        entry.reason = AnsiToUtf8(*registered) + kAlreadyRegistered;
      } else if (w.prepared && w.prepared.queryFeature.empty()) {
        entry.outcome = EntryOutcome::kRegistered;
        records.push_back({nameLine, w.prepared.weight, w.prepared.formula, w.prepared.key});
        recordEntry.push_back(summary.entries.size());
        recordWork.push_back(i - from);
      } else {
        entry.outcome = EntryOutcome::kRefused;
        entry.reason = w.prepared ? w.prepared.queryFeature : w.prepared.reason;
      }
      // The molecule a one-thread run leaves: the last file prepared and not
      // found registered.
      if (w.prepare && registered == nullptr) lastPrepared = folder + "/" + names[i];
      summary.entries.push_back(std::move(entry));
      Recount(summary, summary.entries.back());
      sink.Progress(++done, total);
    }
    if (!appendPending()) return summary;
    std::swap(current, coming);
  }
  SetCurrentMolecule(mol, lastPrepared);
  if (!flushed()) return summary;
  updateCache();
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
