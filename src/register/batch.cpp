#include "register/batch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>

#include "database/appender.h"
#include "database/identity_catalog.h"
#include "database/mol_files.h"
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

// The counts of one entry added (by +1) or taken away (by -1).
void Count(BatchSummary& summary, const BatchEntry& e, int by) {
  switch (e.outcome) {
    case EntryOutcome::kRegistered:
      summary.registered += by;
      break;
    case EntryOutcome::kAlreadyRegistered:
      summary.alreadyRegistered += by;
      break;
    case EntryOutcome::kRefused:
      summary.refused += by;
      break;
    case EntryOutcome::kSkipped:
    case EntryOutcome::kSameStructure:
      summary.skipped += by;
      break;
  }
  if (!e.sameAs.empty()) summary.sameStructure += by;
}

void Recount(BatchSummary& summary) {
  summary.registered = summary.alreadyRegistered = summary.refused = summary.skipped = 0;
  summary.sameStructure = 0;
  for (const BatchEntry& e : summary.entries) Count(summary, e, 1);
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

// Blocks of entries prepared on threads: with more than one thread the next
// block is prepared while the caller takes the current one. setup runs on
// the caller's thread when a block is started (what the workers must not
// read while the caller appends), prepare on the workers.
template <typename Work>
class BlockPipeline {
 public:
  using Step = std::function<void(size_t, Work&)>;
  BlockPipeline(size_t total, size_t blockSize, size_t threads, Step setup, Step prepare)
      : total_(total),
        blockSize_(blockSize),
        threads_(threads),
        setup_(std::move(setup)),
        prepare_(std::move(prepare)) {}
  ~BlockPipeline() {
    // However the run ends, before what the workers use goes.
    for (Block& b : blocks_) b.Join();
  }

  // The next block, prepared, and where it starts; nullptr after the last.
  std::vector<Work>* Next(size_t& from) {
    if (next_ >= total_) return nullptr;
    if (threads_ > 1) {
      if (!started_) {
        Start(*current_, 0, threads_);
        started_ = true;
      } else {
        std::swap(current_, coming_);
      }
      current_->Join();
      const size_t to = current_->from + current_->work.size();
      if (to < total_) Start(*coming_, to, threads_);
    } else {
      Start(*current_, next_, 0);
      PrepareSome(*current_);
    }
    from = current_->from;
    next_ = from + current_->work.size();
    return &current_->work;
  }

 private:
  struct Block {
    size_t from = 0;
    std::vector<Work> work;
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    void Join() {
      for (std::thread& t : workers) t.join();
      workers.clear();
    }
  };
  void Start(Block& block, size_t from, size_t workers) {
    block.from = from;
    block.work.assign(std::min(total_, from + blockSize_) - from, Work{});
    for (size_t k = 0; k < block.work.size(); ++k) setup_(from + k, block.work[k]);
    block.next = 0;
    for (size_t t = 0; t < workers; ++t)
      block.workers.emplace_back([this, &block] { PrepareSome(block); });
  }
  void PrepareSome(Block& block) {
    for (size_t k = block.next++; k < block.work.size(); k = block.next++) {
      prepare_(block.from + k, block.work[k]);
    }
  }

  size_t total_, blockSize_, threads_;
  Step setup_, prepare_;
  Block blocks_[2];
  Block* current_ = &blocks_[0];
  Block* coming_ = &blocks_[1];
  size_t next_ = 0;
  bool started_ = false;
};

// What a worker made of one entry.
struct Work {
  bool registered = false;  // its name was registered when its block was started
  bool regular = false;     // a regular file (looked at when its name is not too short)
  bool prepare = false;     // read and prepared
  PreparedStructure prepared;
  std::string bytes;  // the file as read, for its copy into the MOL folder
  SoundEntry sound;   // what the sound index keeps of it (identity layers included)
};

// What becomes of one entry, from what is known of it when its turn comes.
struct Verdict {
  EntryOutcome outcome = EntryOutcome::kSkipped;
  std::string reason;
  bool append = false;
};
Verdict Judge(const EntryNameLine& name, const Work& w, const std::string* registered,
              const std::string& sameAs, bool skipSameStructure) {
  if (name.verdict == EntryName::kTooShort) return {EntryOutcome::kSkipped, kSkippedShortName};
  if (!w.regular) return {EntryOutcome::kSkipped, kSkippedNotRegularFile};
  if (name.verdict == EntryName::kRefused) return {EntryOutcome::kRefused, name.refusal};
  if (registered != nullptr) {
    return {EntryOutcome::kAlreadyRegistered, AnsiToUtf8(*registered) + kAlreadyRegistered};
  }
  if (!w.prepared || !w.prepared.queryFeature.empty()) {
    return {EntryOutcome::kRefused, w.prepared ? w.prepared.queryFeature : w.prepared.reason};
  }
  if (!sameAs.empty() && skipSameStructure) {
    return {EntryOutcome::kSameStructure, SameStructureAsMessage(sameAs)};
  }
  return {EntryOutcome::kRegistered, {}, true};
}

// The folder's entries in byte order of their names, so that a run is
// reproducible; half-written MOL files of ours and the trash folder are none.
bool ListEntries(const std::string& folder, std::vector<std::string>& names) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!IsUnfinishedNewFile(name) && !IsTrashFolderName(name)) names.push_back(std::move(name));
  }
  if (ec) return false;
  std::sort(names.begin(), names.end());
  return true;
}

// One run: the entries of the block in hand waiting for their append, and
// how the run ends.
class BatchRun {
 public:
  BatchRun(const std::string& folder, const std::string& dbPath, Molecule& mol, MessageSink& sink,
           const BatchOptions& options)
      : folder_(folder),
        molFolder_(options.molFolder.empty() ? folder : options.molFolder),
        copying_(!options.molFolder.empty() &&
                 CanonicalFolder(options.molFolder) != CanonicalFolder(folder)),
        options_(options),
        mol_(mol),
        sink_(sink),
        appender_(dbPath, molFolder_, kBatchSyncEvery),
        catalog_(options.registered) {}

  BatchSummary Run();

 private:
  // A record of the block in hand, waiting for the block's append.
  struct Pending {
    size_t entry;  // in summary_.entries
    AppendItem item;
    std::string copyPath;  // where its copy goes ("" when not copying)
    std::string bytes;
  };
  bool AppendPending();
  void Stop(const std::string& error);
  BatchSummary Stopped();

  const std::string folder_;
  const std::string molFolder_;
  const bool copying_;
  const BatchOptions& options_;
  Molecule& mol_;
  MessageSink& sink_;
  RecordAppender appender_;
  IdentityCatalog catalog_;
  BatchSummary summary_;
  std::vector<Pending> pending_;
  std::string lastPrepared_;  // the file the current molecule was last prepared from
};

void BatchRun::Stop(const std::string& error) {
  if (!summary_.error.empty()) return;
  summary_.error = error;
  sink_.ShowError(error);
}

BatchSummary BatchRun::Stopped() {
  summary_.stopped = true;
  try {
    appender_.Flush();
  } catch (const RuntimeError& e) {
    Stop(e.what());
  }
  appender_.Finish();
  SetCurrentMolecule(mol_, lastPrepared_);
  return summary_;
}

// Copies first (on disk before the records that name them), then the
// records, one write for the block; false when the run must end.
bool BatchRun::AppendPending() {
  if (pending_.empty()) return true;
  std::vector<NewFile> placed(pending_.size(), NewFile::kSameContent);
  std::string error;
  if (copying_) {
    NewFileBatch files;
    std::vector<size_t> staged;
    try {
      for (size_t k = 0; k < pending_.size(); ++k) {
        placed[k] = files.Stage(pending_[k].copyPath, pending_[k].bytes);
        if (placed[k] == NewFile::kCreated) staged.push_back(k);
      }
      const std::vector<NewFile> made = files.Commit();
      for (size_t i = 0; i < staged.size(); ++i) placed[staged[i]] = made[i];
    } catch (const RuntimeError& e) {
      // Nothing of the block is copied, nothing appended: the run ends.
      pending_.clear();
      Stop(e.what());
      return false;
    }
  }
  std::vector<AppendItem> items;
  std::vector<size_t> itemOf;  // pending index of each item
  for (size_t k = 0; k < pending_.size(); ++k) {
    Pending& p = pending_[k];
    if (placed[k] == NewFile::kOtherContent) {
      BatchEntry& entry = summary_.entries[p.entry];
      Count(summary_, entry, -1);
      entry.outcome = EntryOutcome::kRefused;
      entry.reason = MolCopyClashMessage(p.copyPath);
      Count(summary_, entry, 1);
      continue;
    }
    // The sound index names the file the record is drawn from.
    if (copying_) p.item.sound.mol = MolStampOf(p.copyPath);
    items.push_back(std::move(p.item));
    itemOf.push_back(k);
  }
  std::vector<std::optional<std::string>> already;
  size_t written = items.size();
  try {
    already = appender_.AppendNew(items);
  } catch (const RuntimeError&) {
    // Nothing of the block was written: one at a time, up to the record the
    // database refuses.
    already.clear();
    for (written = 0; written < items.size(); ++written) {
      try {
        already.push_back(appender_.AppendNew({&items[written], 1}).front());
      } catch (const RuntimeError& e) {
        error = e.what();
        break;
      }
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    Pending& p = pending_[itemOf[i]];
    const bool appended = i < written && !already[i];
    if (!appended && copying_ && placed[itemOf[i]] == NewFile::kCreated) {
      RemoveCreatedFile(p.copyPath);  // no copy of ours without its record
    }
    if (i < written && already[i]) {
      // Another program registered it while this entry was being prepared.
      BatchEntry& entry = summary_.entries[p.entry];
      Count(summary_, entry, -1);
      entry.outcome = EntryOutcome::kAlreadyRegistered;
      entry.reason = AnsiToUtf8(*already[i]) + kAlreadyRegistered;
      entry.sameAs.clear();
      Count(summary_, entry, 1);
    }
  }
  if (!error.empty()) {
    // The run ends at the refused record.
    const size_t at = pending_[itemOf[written]].entry;
    summary_.entries.resize(at + 1);
    summary_.entries.back().outcome = EntryOutcome::kRefused;
    summary_.entries.back().reason = error;
    Recount(summary_);
  }
  pending_.clear();
  if (error.empty()) return true;
  Stop(error);
  try {
    appender_.Flush();
  } catch (const RuntimeError&) {
  }
  SetCurrentMolecule(mol_, lastPrepared_);
  return false;
}

BatchSummary BatchRun::Run() {
  RemoveUnfinishedNewFiles(folder_);  // what a killed store or import left there
  std::vector<std::string> names;
  if (!ListEntries(folder_, names)) {
    Stop(std::string(kFileNotFound) + ": " + folder_);
    return summary_;
  }
  // What each entry is, from its name; the names that can be registered are
  // the ones the appender watches for.
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
  appender_.Watch(watched);
  try {
    appender_.Load();
  } catch (const RuntimeError& e) {
    Stop(e.what());
    return summary_;
  }

  const bool identity = options_.registered != nullptr;
  BlockPipeline<Work> blocks(
      names.size(), kBatchSyncEvery, BatchThreads(),
      // Which entries are registered already is looked up here: the workers
      // never read the appender while this thread appends.
      [&](size_t i, Work& w) {
        const EntryNameLine& n = entryNames[i];
        w.registered =
            n.verdict == EntryName::kOk && appender_.Registered(ListedName(n.nameLine)) != nullptr;
      },
      // Read, formula, key, and the sound model's entry (identity included).
      [&](size_t i, Work& w) {
        const EntryNameLine& n = entryNames[i];
        if (n.verdict == EntryName::kTooShort) return;
        const std::string path = folder_ + "/" + names[i];
        w.regular = IsRegularFile(path);
        w.prepare = w.regular && n.verdict == EntryName::kOk && !w.registered;
        if (!w.prepare) return;
        thread_local Molecule own;
        EntrySink entrySink;
        const MolStamp molStamp = MolStampOf(path);  // before the read: a later edit is seen
        try {
          w.bytes = ReadFileBytes(path);
          w.prepared = PrepareMolText(own, w.bytes, entrySink);
        } catch (const RuntimeError& e) {
          w.prepared.reason = e.what();
        }
        if (w.prepared) {
          w.sound = PerceiveEntryText(std::string(CompoundName(n.nameLine)), molStamp,
                                      w.prepared.molText);
        }
        if (!copying_) w.bytes = {};
      });

  const int total = static_cast<int>(names.size());
  int done = 0;
  size_t from = 0;
  while (std::vector<Work>* work = blocks.Next(from)) {
    for (size_t k = 0; k < work->size(); ++k) {
      const size_t i = from + k;
      if (sink_.StopRequested()) {
        if (!AppendPending()) return summary_;
        return Stopped();
      }
      Work& w = (*work)[k];
      const EntryNameLine& name = entryNames[i];
      const std::string* registered = name.verdict == EntryName::kOk
                                          ? appender_.Registered(ListedName(name.nameLine))
                                          : nullptr;
      const chem::Identity& id = w.sound.perceived.identity;
      std::string sameAs;
      if (identity && registered == nullptr && w.prepared && id.known()) {
        sameAs = MatchNames(catalog_.Find(id), /*exact=*/true);
      }
      const Verdict verdict = Judge(name, w, registered, sameAs, options_.skipSameStructure);
      BatchEntry entry{names[i], verdict.outcome, verdict.reason, sameAs};
      if (verdict.append) {
        // Registered until the block's append says otherwise; its structure
        // counts for the entries after it.
        const std::string compound(CompoundName(name.nameLine));
        if (identity) catalog_.Add(compound, id);
        pending_.push_back({summary_.entries.size(),
                            {{name.nameLine, w.prepared.weight, w.prepared.formula, w.prepared.key},
                             std::move(w.sound)},
                            copying_ ? MolCopyPathFor(molFolder_, name.nameLine) : std::string(),
                            std::move(w.bytes)});
      }
      // The molecule a one-thread run leaves: the last file prepared and not
      // found registered.
      if (w.prepare && registered == nullptr) lastPrepared_ = folder_ + "/" + names[i];
      summary_.entries.push_back(std::move(entry));
      Count(summary_, summary_.entries.back(), 1);
      sink_.Progress(++done, total);
    }
    if (!AppendPending()) return summary_;
  }
  SetCurrentMolecule(mol_, lastPrepared_);
  try {
    appender_.Flush();
  } catch (const RuntimeError& e) {
    Stop(e.what());
    return summary_;
  }
  appender_.Finish();
  summary_.finished = true;
  sink_.ShowMessage(BatchFinishedMessage(summary_));
  return summary_;
}

}  // namespace

size_t BatchThreads() {
  if (const char* env = std::getenv("VUDUZEZ_THREADS"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const long n = std::strtol(env, &end, 10);
    if (end != nullptr && *end == '\0' && n >= 1 && n <= 256) return static_cast<size_t>(n);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           MessageSink& sink, const BatchOptions& options) {
  if (folder.empty()) {
    sink.ShowMessage(kNoMolFolder);
    BatchSummary summary;
    summary.finished = true;
    return summary;
  }
  BatchRun run(folder, dbPath, mol, sink, options);
  BatchSummary summary = run.Run();
  summary.skippedSameStructure = options.skipSameStructure;
  return summary;
}

std::string BatchFinishedMessage(const BatchSummary& summary) {
  std::string text = kBatchFinished;
  if (summary.refused == 0 && summary.alreadyRegistered == 0 && summary.sameStructure == 0) {
    return text;
  }
  text +=
      "\n\n" + BatchCountsMessage(summary.registered, summary.alreadyRegistered, summary.refused);
  if (summary.sameStructure > 0) {
    text += "、" + SameStructureCountMessage(summary.sameStructure, summary.skippedSameStructure);
  }
  auto list = [&](const std::function<bool(const BatchEntry&)>& wanted, const char* heading,
                  const std::function<std::string(const BatchEntry&)>& line) {
    size_t listed = 0, more = 0;
    for (const BatchEntry& e : summary.entries) {
      if (!wanted(e)) continue;
      if (listed == kListedEntries) {
        ++more;
        continue;
      }
      if (listed++ == 0) text += std::string("\n\n") + heading;
      text += "\n" + line(e);
    }
    if (more > 0) text += "\n" + MoreEntriesMessage(more);
  };
  list([](const BatchEntry& e) { return e.outcome == EntryOutcome::kRefused; },
       kRefusedFilesHeading, [](const BatchEntry& e) { return e.fileName + ": " + e.reason; });
  list([](const BatchEntry& e) { return e.outcome == EntryOutcome::kAlreadyRegistered; },
       kRegisteredFilesHeading, [](const BatchEntry& e) { return e.reason; });
  list([](const BatchEntry& e) { return !e.sameAs.empty(); }, kSameStructureHeading,
       [](const BatchEntry& e) { return e.fileName + ": " + SameStructureAsMessage(e.sameAs); });
  return text;
}

}  // namespace vuduzez
