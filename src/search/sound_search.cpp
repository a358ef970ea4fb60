#include "search/sound_search.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "chem/perceive.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "search/screening.h"
#include "search/search.h"
#include "search/sound_matcher.h"

namespace vuduzez {

namespace {

// The MOL folder, open for the stamps of many files in it.
class Folder {
 public:
  explicit Folder(const std::string& path)
      : path_(path),
        prefix_(path + "/"),
        fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~Folder() {
    if (fd_ >= 0) ::close(fd_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::string& path() const { return path_; }
  MolStamp Stamp(const std::string& filePath) const {
    if (fd_ >= 0 && filePath.size() > prefix_.size() &&
        filePath.compare(0, prefix_.size(), prefix_) == 0) {
      return MolStampAt(fd_, filePath.substr(prefix_.size()));
    }
    return MolStampOf(filePath);
  }

 private:
  std::string path_;
  std::string prefix_;
  int fd_;
};

// Runs work(poll) on that many threads while this thread reports progress
// (done of total, as counted by the workers) and passes on a stop request.
template <typename Work>
bool RunWithProgress(size_t threads, const std::atomic<int64_t>& done, int64_t total,
                     std::atomic<bool>& stop, MessageSink& sink, Work work) {
  if (threads <= 1) {
    // On this thread (no thread to start for a short search): the work
    // polls now and then for progress and a stop request.
    auto last = std::chrono::steady_clock::now();
    int64_t shown = -1;
    work([&] {
      const auto now = std::chrono::steady_clock::now();
      if (now - last < std::chrono::milliseconds(50)) return;
      last = now;
      shown = done.load();
      sink.Progress(static_cast<int>(shown), static_cast<int>(total));
      if (sink.StopRequested()) stop = true;
    });
    if (shown >= 0 && !stop) sink.Progress(static_cast<int>(total), static_cast<int>(total));
    return !stop.load();
  }
  std::mutex lock;
  std::condition_variable finished;
  size_t running = threads;
  std::vector<std::thread> workers;
  for (size_t t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      work([] {});
      const std::lock_guard<std::mutex> hold(lock);
      if (--running == 0) finished.notify_one();
    });
  }
  int64_t shown = -1;
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(lock);
      if (finished.wait_for(hold, std::chrono::milliseconds(50), [&] { return running == 0; })) {
        break;
      }
    }
    const int64_t d = done.load();
    if (d != shown) {
      sink.Progress(static_cast<int>(std::min<int64_t>(d, total)), static_cast<int>(total));
      shown = d;
    }
    if (sink.StopRequested()) stop = true;
  }
  for (std::thread& w : workers) w.join();
  if (shown >= 0 && !stop) sink.Progress(static_cast<int>(total), static_cast<int>(total));
  return !stop.load();
}

// The entry of record r as the search sees it now: read again since, or the
// index's. Only what every candidate needs is read here (a search of a
// million records is bound by memory): the stamp and reason when asked.
struct EntryView {
  chem::RecordStatus status;
  std::string_view graph;
  const SoundEntry* again = nullptr;  // an entry read again since the load
};

EntryView ViewOf(const SoundState& state, size_t r) {
  if (!state.changed.empty()) {
    if (auto it = state.changed.find(r); it != state.changed.end()) {
      return {it->second.perceived.status, it->second.perceived.graph, &it->second};
    }
  }
  const SoundIndex& ix = *state.index;
  return {ix.Status(r), ix.Graph(r), nullptr};
}

MolStamp StampOfView(const SoundState& state, const EntryView& v, size_t r) {
  return v.again ? v.again->mol : state.index->Stamp(r);
}
std::string_view ReasonOfView(const SoundState& state, const EntryView& v, size_t r) {
  return v.again ? std::string_view(v.again->perceived.reason) : state.index->Reason(r);
}

void UseIndex(SoundState& state, SoundIndex index, const FileStamp& stamp, bool stable,
              bool verified) {
  state.index = std::move(index);
  state.stamp = stamp;
  state.stable = stable;
  state.verified.assign(state.index->size(), verified ? 1 : 0);
  state.changed.clear();
}

// Writes the index with the entries read again, and uses the file written.
void SaveChanges(SoundState& state) {
  if (state.changed.empty() || !state.stable || StampOf(state.dbPath) != state.stamp) return;
  std::vector<std::pair<size_t, SoundEntry>> replaced(state.changed.begin(), state.changed.end());
  if (!WriteSoundIndex(state.dbPath, state.stamp, SoundPayload(*state.index, replaced, {}))) return;
  std::optional<MappedSoundIndex> mapped = MapSoundIndex(state.dbPath);
  if (mapped && mapped->stamp == state.stamp && mapped->index.size() == state.index->size()) {
    std::vector<uint8_t> verified = std::move(state.verified);
    UseIndex(state, std::move(mapped->index), state.stamp, true, false);
    state.verified = std::move(verified);
  }
}

}  // namespace

bool SoundIndexIsCurrent(const SoundState& state, const std::string& dbPath,
                         const std::string& molFolder) {
  return state.ready() && state.stable && state.dbPath == dbPath && state.molFolder == molFolder &&
         StampOf(dbPath) == state.stamp;
}

bool PrepareSoundIndex(SoundState& state, const std::string& dbPath, const std::string& molFolder,
                       MessageSink& sink) {
  const std::string folder = CanonicalFolder(molFolder);
  std::optional<MappedSoundIndex> mapped = MapSoundIndex(dbPath);
  const FileStamp now = StampOf(dbPath);
  if (now.size < 0) ThrowFileError(dbPath, kFileNotFound);
  if (mapped && mapped->stamp == now && mapped->index.molFolder() == folder) {
    state.dbPath = dbPath;
    state.molFolder = molFolder;
    state.built.reset();
    UseIndex(state, std::move(mapped->index), now, true, false);
    state.perceived = 0;
    return true;
  }

  // The records' names, read as every load reads them (under the shared lock).
  FileStamp stamp;
  bool stable = false;
  SearchState records;
  {
    DatabaseLock lock(dbPath, LockMode::kShared);
    stamp = StampOf(dbPath);
    auto bytes = std::make_shared<const std::string>(lock.ReadAll());
    stable = stamp.size == static_cast<int64_t>(bytes->size()) && StampOf(dbPath) == stamp;
    const std::string_view text = *bytes;
    ParseSearchRecords(records, text, std::move(bytes));
  }
  const size_t n = records.records.size();

  // Entries of the cached index that still name a record of this folder.
  std::unordered_multimap<std::string_view, size_t> old;
  if (mapped && mapped->index.molFolder() == folder) {
    for (size_t r = mapped->index.size(); r-- > 0;) old.emplace(mapped->index.Name(r), r);
  }
  std::vector<int64_t> reuse(n, -1);
  std::vector<uint8_t> taken(mapped ? mapped->index.size() : 0, 0);
  for (size_t r = 0; r < n; ++r) {
    auto [lo, hi] = old.equal_range(records.records[r].name);
    size_t pick = SIZE_MAX;
    for (auto it = lo; it != hi; ++it) {
      if (!taken[it->second] && it->second < pick) pick = it->second;
    }
    if (pick == SIZE_MAX && lo != hi) pick = lo->second;  // two records, one MOL file
    if (pick == SIZE_MAX) continue;
    taken[pick] = 1;
    reuse[r] = static_cast<int64_t>(pick);
  }

  std::vector<SoundEntry> entries(n);
  std::atomic<size_t> next{0};
  std::atomic<int64_t> done{0};
  std::atomic<size_t> perceived{0};
  std::atomic<bool> stop{false};
  const Folder molDir(molFolder);
  const size_t threads = std::min<size_t>(SoundThreads(), std::max<size_t>(1, n / 64));
  auto work = [&](const auto& poll) {
    for (size_t r = next++; r < n && !stop; r = next++) {
      if ((r & 15) == 0) poll();
      const std::string name(records.records[r].name);
      const std::string path = HitMolPath(molFolder, name);
      SoundEntry& e = entries[r];
      if (reuse[r] >= 0) {
        const SoundIndex& ix = mapped->index;
        const auto k = static_cast<size_t>(reuse[r]);
        if (ix.Status(k) != chem::RecordStatus::kUnperceived && molDir.Stamp(path) == ix.Stamp(k)) {
          e = ix.Entry(k);
          e.name = name;
          ++done;
          continue;
        }
      }
      e = PerceiveEntry(name, path);
      ++perceived;
      ++done;
    }
  };
  if (!RunWithProgress(threads, done, static_cast<int64_t>(n), stop, sink, work)) return false;

  state.dbPath = dbPath;
  state.molFolder = molFolder;
  state.built.reset();
  state.perceived = perceived.load();
  const SoundPayload payload(molFolder, entries);
  if (stable && StampOf(dbPath) == stamp && WriteSoundIndex(dbPath, stamp, payload)) {
    mapped.reset();
    std::optional<MappedSoundIndex> written = MapSoundIndex(dbPath);
    if (written && written->stamp == stamp && written->index.size() == n) {
      UseIndex(state, std::move(written->index), stamp, true, true);
      return true;
    }
  }
  // No cache to be had (or the file changed meanwhile): the index in memory.
  auto built = std::make_shared<const std::string>(payload.Join());
  std::optional<SoundIndex> index = SoundIndex::Open(built, *built);
  if (!index) ThrowFileError(dbPath, kCannotReadFile);  // never for a payload just made
  state.built = built;
  UseIndex(state, std::move(*index), stamp, stable, true);
  return true;
}

SoundResult SoundSearch(SoundState& state, const chem::SoundQuery& query, MessageSink& sink,
                        size_t threads, uint64_t steps) {
  SoundResult result;
  if (!state.ready()) return result;
  const SoundIndex& ix = *state.index;
  const size_t n = ix.size();
  if (threads == 0) threads = SoundThreads();

  // The screen, a share of the blocks per thread.
  std::vector<uint32_t> candidates;
  {
    const size_t blocks = (n + kFingerprintBlock - 1) / kFingerprintBlock;
    const size_t parts = std::max<size_t>(1, std::min(threads, blocks / 16));
    std::vector<std::vector<uint32_t>> found(parts);
    auto screen = [&](size_t p) {
      const size_t from = blocks * p / parts * kFingerprintBlock;
      const size_t to = blocks * (p + 1) / parts * kFingerprintBlock;
      ix.Screen(query.fingerprint, from, to, found[p]);
    };
    std::vector<std::thread> workers;
    for (size_t p = 1; p < parts; ++p) workers.emplace_back(screen, p);
    screen(0);
    for (std::thread& w : workers) w.join();
    for (auto& f : found) candidates.insert(candidates.end(), f.begin(), f.end());
  }
  // Entries read again since the load that the screen would now let through
  // (the screen's own candidates come in order).
  if (!state.changed.empty()) {
    for (const auto& [r, e] : state.changed) {
      if (chem::Covers(e.perceived.fingerprint, query.fingerprint)) {
        candidates.push_back(static_cast<uint32_t>(r));
      }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  }
  result.candidates = static_cast<int64_t>(candidates.size());

  // Confirmation: each candidate's outcome, then the hits in order.
  enum : uint8_t { kPending, kHit, kNoHit, kUnconfirmed };
  const size_t m = candidates.size();
  std::vector<uint8_t> outcome(m, kPending);
  std::vector<std::string> why(m);
  std::optional<SoundMatcher> matcher;
  if (query.ownMatcher) matcher.emplace(query.compiled);
  const Folder folder(state.molFolder);
  std::atomic<size_t> next{0};
  std::atomic<int64_t> done{0};
  std::atomic<int64_t> byRdkit{0};
  std::atomic<bool> stop{false};
  std::mutex changesLock;
  std::vector<std::pair<size_t, SoundEntry>> changes;
  constexpr size_t kChunk = 64;
  constexpr size_t kAhead = 8;
  auto work = [&](const auto& poll) {
    // Each record's steps are counted; the stop is heard inside a long one.
    MatchBudget budget(steps, [&] {
      poll();
      return stop.load();
    });
    for (size_t from = next.fetch_add(kChunk); from < m && !stop; from = next.fetch_add(kChunk)) {
      poll();
      const size_t to = std::min(m, from + kChunk);
      for (size_t i = from; i < to && !stop; ++i) {
        const size_t r = candidates[i];
        // The graph of a candidate some way ahead on its way into the cache
        // (a search of a million records waits on memory otherwise).
        if (i + kAhead < m) {
          const std::string_view ahead = ix.Graph(candidates[i + kAhead]);
          for (size_t line = 0; line < ahead.size() && line < 384; line += 64) {
            __builtin_prefetch(ahead.data() + line);
          }
        }
        EntryView v = ViewOf(state, r);
        std::optional<SoundEntry> again;
        std::string path;
        if (!state.verified[r] || v.status == chem::RecordStatus::kUnperceived) {
          const std::string name(ix.Name(r));
          path = HitMolPath(state.molFolder, name);
          if (v.status == chem::RecordStatus::kUnperceived ||
              folder.Stamp(path) != StampOfView(state, v, r)) {
            again = PerceiveEntry(name, path);
            v = {again->perceived.status, again->perceived.graph, &*again};
          }
          state.verified[r] = 1;
        }
        uint8_t o = kNoHit;
        if (v.again != nullptr &&
            !chem::Covers(v.again->perceived.fingerprint, query.fingerprint)) {
          o = kNoHit;  // read again: no longer let through
        } else if (v.status == chem::RecordStatus::kOk && matcher) {
          chem::GraphView g;
          g.Adopt(v.graph);
          switch (matcher->Match(g, budget)) {
            case MatchOutcome::kMatch:
              o = kHit;
              break;
            case MatchOutcome::kNoMatch:
              o = kNoHit;
              break;
            case MatchOutcome::kGaveUp:
              o = kUnconfirmed;
              why[i] = kMatchGivenUp;
              break;
            case MatchOutcome::kStopped:
              o = kPending;  // not reached: unconfirmed below
              break;
          }
        } else if (v.status == chem::RecordStatus::kOk || v.status == chem::RecordStatus::kLarge) {
          if (path.empty()) path = HitMolPath(state.molFolder, std::string(ix.Name(r)));
          std::string text;
          try {
            text = ReadFileBytes(path);
          } catch (const RuntimeError& e) {
            why[i] = e.what();
          }
          const chem::RdkitAnswer a = chem::RdkitMatches(query, text);
          ++byRdkit;
          if (!a.readable) {
            o = kUnconfirmed;
            if (why[i].empty()) why[i] = a.reason;
          } else {
            o = a.matches ? kHit : kNoHit;
          }
        } else {
          o = kUnconfirmed;
          why[i] = std::string(ReasonOfView(state, v, r));
        }
        outcome[i] = o;
        if (again) {
          const std::lock_guard<std::mutex> hold(changesLock);
          changes.emplace_back(r, std::move(*again));
        }
      }
      // Counted per chunk: a counter both threads wrote for every record
      // would bounce between their caches.
      done += static_cast<int64_t>(to - from);
    }
  };
  const size_t workers = std::max<size_t>(1, std::min(threads, (m + kChunk - 1) / kChunk));
  result.stopped = !RunWithProgress(workers, done, static_cast<int64_t>(m), stop, sink, work);
  result.byRdkit = byRdkit.load();
  for (size_t i = 0; i < m; ++i) {
    if (outcome[i] == kHit) result.rows.push_back(static_cast<int32_t>(candidates[i]));
    if (outcome[i] == kUnconfirmed) {
      result.unconfirmed.push_back({static_cast<int32_t>(candidates[i]), std::move(why[i])});
    } else if (outcome[i] == kPending) {
      // A stop came first: neither a hit nor a miss.
      result.unconfirmed.push_back({static_cast<int32_t>(candidates[i]), kMatchStopped});
    }
  }
  for (auto& [r, e] : changes) state.changed[r] = std::move(e);
  SaveChanges(state);
  return result;
}

std::vector<std::string> UnconfirmedLines(const SoundState& state, const SoundResult& result) {
  std::vector<std::string> lines;
  for (const auto& u : result.unconfirmed) {
    lines.push_back(AnsiToUtf8(std::string(state.index->Name(static_cast<size_t>(u.row)))) + ": " +
                    u.reason);
  }
  return lines;
}

bool FindSoundMapping(const chem::SoundQuery& query, std::string_view molText,
                      SoundMapping& mapping) {
  std::vector<int> perceived;
  if (query.ownMatcher) {
    const chem::PerceivedRecord record = chem::PerceiveRecord(molText);
    if (record.status != chem::RecordStatus::kOk) return false;
    chem::GraphView g;
    g.Adopt(record.graph);
    if (SoundMatcher(query.compiled).Match(g, &perceived) != MatchOutcome::kMatch) return false;
  } else if (!chem::RdkitMatches(query, molText, &perceived).matches) {
    return false;
  }
  const std::vector<int> numbers = chem::MolAtomNumbers(molText);
  mapping = SoundMapping{};
  for (int t : perceived) {
    mapping.atoms.push_back(
        t >= 0 && static_cast<size_t>(t) < numbers.size() ? numbers[static_cast<size_t>(t)] : 0);
  }
  for (const chem::QueryBond& b : query.compiled.bonds) {
    mapping.bonds.push_back(
        {mapping.atoms[static_cast<size_t>(b.begin)], mapping.atoms[static_cast<size_t>(b.end)]});
  }
  return true;
}

std::vector<int32_t> MolBondNumbers(const Molecule& mol,
                                    const std::vector<std::pair<int32_t, int32_t>>& pairs) {
  std::vector<int32_t> bonds;
  for (const auto& [a, b] : pairs) {
    for (int32_t k = 1; k <= mol.bndcount; ++k) {
      const BondRow& row = mol.bnddata[static_cast<size_t>(k)];
      if ((row.atom1 == a && row.atom2 == b) || (row.atom1 == b && row.atom2 == a)) {
        bonds.push_back(k);
        break;
      }
    }
  }
  return bonds;
}

}  // namespace vuduzez
