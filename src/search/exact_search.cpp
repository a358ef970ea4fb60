#include "search/exact_search.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/notice.h"
#include "platform/scratch.h"
#include "platform/text.h"
#include "search/screen_index.h"
#include "search/search.h"

namespace vuduzez {

namespace {

Molecule& WorkMolecule() {
  // Large tables: one per thread, reused by every entry.
  thread_local std::unique_ptr<Molecule> mol = std::make_unique<Molecule>();
  return *mol;
}

// The MOL folder, open for the stamps of many files in it.
class Folder {
 public:
  explicit Folder(const std::string& path)
      : prefix_(path + "/"), fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~Folder() {
    if (fd_ >= 0) ::close(fd_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  FileStamp Stamp(const std::string& path) const {
    if (fd_ >= 0 && path.size() > prefix_.size() && path.compare(0, prefix_.size(), prefix_) == 0) {
      return StampAt(fd_, path.substr(prefix_.size()));
    }
    return StampOf(path);
  }

 private:
  std::string prefix_;
  int fd_;
};

// Brings one entry in line with its MOL file as it is now.
void Verify(ExactState& exact, size_t row, const std::string& molFolder, const Folder& folder) {
  CtEntry& e = exact.entries[row];
  const std::string path = HitMolPath(molFolder, e.name);
  if (folder.Stamp(path) != e.mol) {
    e = BuildConnectionEntry(e.name, path);
    exact.dirty = true;
  }
  exact.verified[row] = 1;
}

void SaveIfCurrent(ExactState& exact) {
  if (!exact.dirty || !exact.stable || exact.dbPath.empty()) return;
  // Only for the database state the records came from.
  if (StampOf(exact.dbPath) != exact.stamp) return;
  if (WriteConnectionCache(exact.dbPath, exact.stamp, exact.entries)) exact.dirty = false;
}

}  // namespace

void LoadSearchDataStamped(SearchState& state, ExactState& exact, const std::string& dbPath,
                           bool mapped) {
  // Under the shared lock, as every load: a record being appended by another
  // program is never read half-written.
  FileStamp stamp;
  std::string_view text;
  std::shared_ptr<const void> holder;
  bool stable = false;
  {
    DatabaseLock lock(dbPath, LockMode::kShared);
    stamp = StampOf(dbPath);
    if (mapped) {
      auto map = std::make_shared<const MappedFile>(lock.fd(), dbPath);
      text = map->bytes();
      holder = std::move(map);
    } else {
      auto bytes = std::make_shared<const std::string>(lock.ReadAll());
      text = *bytes;
      holder = std::move(bytes);
    }
    stable = stamp.size == static_cast<int64_t>(text.size()) && StampOf(dbPath) == stamp;
  }
  SearchState loaded;
  ParseSearchRecords(loaded, text, std::move(holder));
  loaded.signatures = ScreenIndexFor(dbPath, stamp, stable, loaded.records);
  state.text = std::move(loaded.text);
  state.records = std::move(loaded.records);
  state.signatures = std::move(loaded.signatures);
  state.mlcount = loaded.mlcount;
  state.path = dbPath;
  // A file that changed while it was read is read again at the next look.
  state.stamp = stable ? stamp : FileStamp{};
  exact = ExactState{};
  exact.dbPath = dbPath;
  exact.stamp = stamp;
  exact.stable = stable;
}

bool RefreshSearchDataStamped(SearchState& state, ExactState& exact, const std::string& dbPath) {
  if (SearchDataIsCurrent(state, dbPath)) return false;
  LoadSearchDataStamped(state, exact, dbPath);
  return true;
}

CtEntry BuildConnectionEntry(const std::string& name, const std::string& molPath) {
  CtEntry e;
  e.name = name;
  e.mol = StampOf(molPath);
  if (e.mol.size < 0) {
    e.status = CtStatus::kMissing;
    e.reason = std::string(kNoFile) + ": " + molPath;
    e.mol = FileStamp{};
    return e;
  }
  Molecule& mol = WorkMolecule();
  SilentSink quiet;
  try {
    if (const MolReadResult read = ReadMolFile(mol, molPath, quiet); !read) {
      e.status = CtStatus::kRefused;
      e.reason = read.message;
      return e;
    }
    CalcFormulaWeight(mol);
    if (const KeyResult key = MakeStructureKey(mol, quiet); !key) {
      e.status = CtStatus::kKeyFailed;
      e.reason = std::string(kKeyGenerationFailed) + ": " + key.message;
      return e;
    }
  } catch (const RuntimeError& error) {
    e.status = CtStatus::kRefused;
    e.reason = error.what();
    return e;
  }
  e.status = CtStatus::kOk;
  e.table = BuildConnectionTable(mol);
  return e;
}

void PrepareConnectionTables(const SearchState& state, ExactState& exact,
                             const std::string& molFolder, MessageSink& sink) {
  NoticeScope notices(sink);  // an untrusted cache is said through the sink
  const size_t n = std::min(state.records.size(), static_cast<size_t>(state.mlcount));
  std::vector<std::string> names;
  names.reserve(n);
  for (size_t r = 0; r < n; ++r) names.emplace_back(state.records[r].name);

  std::optional<ConnectionCacheFile> cache;
  if (!exact.dbPath.empty()) cache = ReadConnectionCache(exact.dbPath);
  const bool current = cache && exact.stable && cache->stamp == exact.stamp;
  std::vector<std::optional<CtEntry>> aligned =
      AlignEntries(cache ? std::move(cache->entries) : std::vector<CtEntry>{}, names);

  size_t missing = 0;
  for (const auto& e : aligned) missing += e ? 0 : 1;
  exact.entries.clear();
  exact.entries.reserve(n);
  exact.verified.assign(n, 0);
  exact.dirty = !current || missing > 0;
  int done = 0;
  for (size_t r = 0; r < n; ++r) {
    if (aligned[r]) {
      exact.entries.push_back(std::move(*aligned[r]));
      continue;
    }
    if (sink.StopRequested()) {
      // Asked to stop: the rest is read when a search first needs it.
      exact.entries.push_back(UnreadEntry(names[r]));
      continue;
    }
    exact.entries.push_back(BuildConnectionEntry(names[r], HitMolPath(molFolder, names[r])));
    exact.verified[r] = 1;
    sink.Progress(++done, static_cast<int>(missing));
  }
  exact.ready = true;
  SaveIfCurrent(exact);
}

bool ConnectionTablesReady(const SearchState& state, const ExactState& exact) {
  return exact.ready && exact.entries.size() == state.records.size();
}

ExactResult ConfirmHits(SearchState& state, ExactState& exact, const SubstructureQuery& query,
                        const std::string& molFolder, MessageSink& sink,
                        const ConfirmControl& control) {
  if (!ConnectionTablesReady(state, exact)) PrepareConnectionTables(state, exact, molFolder, sink);
  MessageSink* watch = control.progress;
  MatchBudget budget(control.stepsPerRecord,
                     watch ? std::function<bool()>([watch] { return watch->StopRequested(); })
                           : std::function<bool()>());
  ExactResult result;
  result.screened = state.hitcount;
  std::vector<std::string> hitnames;
  CtView view;
  const Folder folder(molFolder);
  int done = 0;
  for (int32_t row : state.hitrows) {
    const size_t r = static_cast<size_t>(row);
    if (!result.stopped && watch && watch->StopRequested()) result.stopped = true;
    if (result.stopped) {
      result.unconfirmed.push_back({row, kMatchStopped});
      continue;
    }
    if (!exact.verified[r]) Verify(exact, r, molFolder, folder);
    const CtEntry& e = exact.entries[r];
    if (e.status != CtStatus::kOk) {
      result.unconfirmed.push_back({row, e.reason});
    } else {
      view.Adopt(e.table);
      switch (query.Match(view, budget)) {
        case MatchOutcome::kMatch:
          result.rows.push_back(row);
          hitnames.emplace_back(state.records[r].name);
          break;
        case MatchOutcome::kNoMatch:
          result.unmatched.push_back(row);
          break;
        case MatchOutcome::kGaveUp:
          result.unconfirmed.push_back({row, kMatchGivenUp});
          ++result.gaveUp;
          break;
        case MatchOutcome::kStopped:
          result.stopped = true;
          result.unconfirmed.push_back({row, kMatchStopped});
          break;
      }
    }
    if (watch) watch->Progress(++done, result.screened);
  }
  state.hitrows = result.rows;
  state.hitnames = std::move(hitnames);
  state.hitcount = static_cast<int32_t>(state.hitnames.size());
  state.hitpos = 1;
  SaveIfCurrent(exact);
  return result;
}

std::vector<std::string> ExplainConfirmation(const ExactResult& result, size_t records) {
  std::vector<std::string> why(records);
  for (int32_t r : result.unmatched) why[static_cast<size_t>(r)] = kNoAtomMatch;
  for (const auto& u : result.unconfirmed)
    why[static_cast<size_t>(u.row)] = "unconfirmed: " + u.reason;
  return why;
}

SubstructureQuery MakeSubstructureQuery(const Molecule& query) {
  return SubstructureQuery(BuildConnectionTable(query));
}

bool FindMapping(const Molecule& hit, const SubstructureQuery& query,
                 SubstructureMapping& mapping) {
  auto keyed = std::make_unique<Molecule>(hit);
  SilentSink quiet;
  if (!MakeStructureKey(*keyed, quiet)) return false;
  const std::string table = BuildConnectionTable(*keyed);
  CtView view;
  return view.Parse(table) && query.Matches(view, &mapping);
}

}  // namespace vuduzez
