// The exact search: loading records and connection tables, rebuilding a
// missing table cache, and each query (screen plus atom-by-atom confirmation)
// after the load. Runs when VUDUZEZ_BENCH_EXACT_DB (database), _MOLS (its MOL
// folder) and _QUERIES (a folder of query MOL files) are set; the tables cache
// goes where XDG_CACHE_HOME says. tools/bench_exact.sh sets them up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "register/prepare.h"
#include "search/exact_search.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;

using Quiet = SilentSink;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Loaded {
  SearchState state;
  ExactState exact;
};

Loaded& Load() {
  static Loaded* loaded = [] {
    auto* l = new Loaded;
    Quiet ui;
    LoadSearchDataStamped(l->state, l->exact, Env("VUDUZEZ_BENCH_EXACT_DB"));
    PrepareConnectionTables(l->state, l->exact, Env("VUDUZEZ_BENCH_EXACT_MOLS"), ui);
    return l;
  }();
  return *loaded;
}

void BM_ExactLoad(benchmark::State& st) {
  Load();  // the cache exists from here on
  for (auto _ : st) {
    Loaded l;
    Quiet ui;
    LoadSearchDataStamped(l.state, l.exact, Env("VUDUZEZ_BENCH_EXACT_DB"));
    PrepareConnectionTables(l.state, l.exact, Env("VUDUZEZ_BENCH_EXACT_MOLS"), ui);
    st.counters["records"] = l.state.mlcount;
  }
}

// A missing cache: every MOL file read, completed and keyed again.
void BM_ExactRebuild(benchmark::State& st) {
  const std::string db = Env("VUDUZEZ_BENCH_EXACT_DB");
  for (auto _ : st) {
    st.PauseTiming();
    fs::remove(*CachePathFor(kConnectionCacheKind, db));
    Loaded l;
    Quiet ui;
    LoadSearchDataStamped(l.state, l.exact, db);
    st.ResumeTiming();
    PrepareConnectionTables(l.state, l.exact, Env("VUDUZEZ_BENCH_EXACT_MOLS"), ui);
    st.counters["records"] = l.state.mlcount;
    st.counters["files_per_s"] =
        benchmark::Counter(l.state.mlcount, benchmark::Counter::kIsIterationInvariantRate);
  }
}

void BM_Exact(benchmark::State& st, std::shared_ptr<Molecule> query) {
  Loaded& l = Load();
  Quiet ui;
  const Query screen = MakeQuery(*query);
  const SubstructureQuery exact = MakeSubstructureQuery(*query);
  const std::string mols = Env("VUDUZEZ_BENCH_EXACT_MOLS");
  // The first search after a load also compares each screened record's MOL
  // file with its table: timed on its own.
  std::fill(l.exact.verified.begin(), l.exact.verified.end(), 0);
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = ThreadCpuMs();
  RunScreening(l.state, screen);
  ExactResult r = ConfirmHits(l.state, l.exact, exact, mols, ui);
  const double first =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const double firstCpu = ThreadCpuMs() - c0;
  for (auto _ : st) {
    RunScreening(l.state, screen);
    r = ConfirmHits(l.state, l.exact, exact, mols, ui);
    benchmark::DoNotOptimize(r.rows.data());
  }
  st.counters["first_ms"] = first;
  st.counters["first_cpu_ms"] = firstCpu;  // system time of the stat calls included
  st.counters["screened"] = r.screened;
  st.counters["exact"] = static_cast<double>(r.rows.size());
  st.counters["unconfirmed"] = static_cast<double>(r.unconfirmed.size());
}

bool Register() {
  if (Env("VUDUZEZ_BENCH_EXACT_DB").empty()) return false;
  benchmark::RegisterBenchmark("BM_ExactLoad", BM_ExactLoad)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->Repetitions(1);
  benchmark::RegisterBenchmark("BM_ExactRebuild", BM_ExactRebuild)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(1);
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(Env("VUDUZEZ_BENCH_EXACT_QUERIES"))) {
    if (e.path().extension() == ".mol") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files) {
    auto mol = std::make_shared<Molecule>();
    Quiet ui;
    if (!PrepareMolFile(*mol, f.string(), ui)) continue;
    benchmark::RegisterBenchmark(("BM_Exact/" + f.stem().string()).c_str(), BM_Exact, mol)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}

const bool registered = Register();

}  // namespace
}  // namespace vuduzez
