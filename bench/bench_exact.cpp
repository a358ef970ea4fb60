// The exact search: making the sound index from the MOL files (every core),
// loading (mapping) a valid one, and each query once loaded, on one thread
// and on every core. Runs when VUDUZEZ_BENCH_EXACT_DB (database), _MOLS (its
// MOL folder) and _QUERIES (a list "name<TAB>smiles|smarts|mol<TAB>text")
// are set; the index goes where XDG_CACHE_HOME says. tools/bench_exact.sh
// sets them up and prints the figures beside RDKit's SubstructLibrary.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "chem/sound_query.h"
#include "platform/files.h"
#include "search/sound_search.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

SoundState& Loaded() {
  static SoundState* state = [] {
    auto* s = new SoundState;
    SilentSink quiet;
    PrepareSoundIndex(*s, Env("VUDUZEZ_BENCH_EXACT_DB"), Env("VUDUZEZ_BENCH_EXACT_MOLS"), quiet);
    return s;
  }();
  return *state;
}

// The index made again from every MOL file.
void BM_SoundIndexBuild(benchmark::State& st) {
  const std::string db = Env("VUDUZEZ_BENCH_EXACT_DB");
  for (auto _ : st) {
    st.PauseTiming();
    fs::remove(*CachePathFor(kSoundIndexKind, db));
    st.ResumeTiming();
    SoundState s;
    SilentSink quiet;
    PrepareSoundIndex(s, db, Env("VUDUZEZ_BENCH_EXACT_MOLS"), quiet);
    st.counters["records"] = static_cast<double>(s.index->size());
    st.counters["records_per_s"] = benchmark::Counter(
        static_cast<double>(s.index->size()), benchmark::Counter::kIsIterationInvariantRate);
  }
}

// A valid index mapped and checked (its checksum read).
void BM_SoundIndexLoad(benchmark::State& st) {
  Loaded();
  for (auto _ : st) {
    SoundState s;
    SilentSink quiet;
    PrepareSoundIndex(s, Env("VUDUZEZ_BENCH_EXACT_DB"), Env("VUDUZEZ_BENCH_EXACT_MOLS"), quiet);
    benchmark::DoNotOptimize(s.index->size());
  }
}

void BM_Exact(benchmark::State& st, std::shared_ptr<const chem::SoundQuery> query, size_t threads) {
  SoundState& s = Loaded();
  SilentSink quiet;
  SoundResult r = SoundSearch(s, *query, quiet, threads);  // the first: MOL files compared
  for (auto _ : st) {
    r = SoundSearch(s, *query, quiet, threads);
    benchmark::DoNotOptimize(r.rows.data());
  }
  st.counters["candidates"] = static_cast<double>(r.candidates);
  st.counters["hits"] = static_cast<double>(r.rows.size());
  st.counters["unconfirmed"] = static_cast<double>(r.unconfirmed.size());
  st.counters["rdkit"] = query->ownMatcher ? 0 : 1;
}

bool Register() {
  if (Env("VUDUZEZ_BENCH_EXACT_DB").empty()) return false;
  benchmark::RegisterBenchmark("BM_SoundIndexBuild", BM_SoundIndexBuild)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(1);
  benchmark::RegisterBenchmark("BM_SoundIndexLoad", BM_SoundIndexLoad)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  std::ifstream list(Env("VUDUZEZ_BENCH_EXACT_QUERIES"));
  for (std::string line; std::getline(list, line);) {
    std::istringstream fields(line);
    std::string name, form, text;
    std::getline(fields, name, '\t');
    std::getline(fields, form, '\t');
    std::getline(fields, text);
    if (name.empty() || name[0] == '#') continue;
    const chem::QueryForm f = form == "smarts" ? chem::QueryForm::kSmarts
                              : form == "mol"  ? chem::QueryForm::kMolText
                                               : chem::QueryForm::kSmiles;
    const chem::QueryResult q =
        chem::CompileQuery(f, f == chem::QueryForm::kMolText ? ReadFileBytes(text) : text);
    if (!q.query) continue;
    for (size_t threads : {size_t{1}, size_t{0}}) {
      benchmark::RegisterBenchmark(
          (std::string(threads == 1 ? "BM_Exact1/" : "BM_ExactAll/") + name).c_str(), BM_Exact,
          q.query, threads)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}

const bool registered = Register();

}  // namespace
}  // namespace vuduzez
