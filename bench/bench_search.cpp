// Search over a large database: the load of 100 000 records and one query
// against them, with and without the fragment prefilter. The database is
// bench/data/big.txt (made by tools/bench_search.sh from 5 000 real molecules),
// or VUDUZEZ_BENCH_DB, or else the sample database repeated to 100 000 records.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/files.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "search/screening.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;

const std::string& DatabaseText() {
  static const std::string text = [] {
    const char* env = std::getenv("VUDUZEZ_BENCH_DB");
    std::string path = env ? env : std::string(VUDUZEZ_SOURCE_DIR) + "/bench/data/big.txt";
    if (fs::exists(path)) return ReadFileBytes(path);
    // The sample's records, renamed and repeated.
    const std::string sample =
        ReadFileBytes(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/compounds.txt");
    std::string out;
    int n = 0;
    while (n < 100000) {
      LineReader reader(sample);
      while (!reader.AtEnd() && n < 100000) {
        std::string_view name = reader.Next();
        out += 'r';
        out += std::to_string(n++);
        out += name;
        out += "\r\n";
        for (int i = 0; i < 3; ++i) {
          out += reader.Next();
          out += "\r\n";
        }
      }
    }
    return out;
  }();
  return text;
}

SearchState& Loaded() {
  static SearchState state = [] {
    SearchState s;
    LoadSearchText(s, DatabaseText());
    return s;
  }();
  return state;
}

int64_t KeyBytes(const SearchState& s) {
  int64_t total = 0;
  for (const mldata& r : s.records) total += static_cast<int64_t>(r.key.size());
  return total;
}

void BM_LoadSearchData(benchmark::State& st) {
  const std::string& text = DatabaseText();
  for (auto _ : st) {
    SearchState s;
    LoadSearchText(s, text);
    benchmark::DoNotOptimize(s.mlcount);
    st.counters["records"] = s.mlcount;
  }
  st.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_Query(benchmark::State& st, Query query, bool indexed) {
  SearchState& loaded = Loaded();
  SearchState plain;
  SearchState* s = &loaded;
  if (!indexed) {
    plain.records = loaded.records;
    plain.mlcount = loaded.mlcount;
    s = &plain;
  }
  ScreeningStats stats;
  for (auto _ : st) benchmark::DoNotOptimize(RunScreening(*s, query, &stats));
  const double keyBytes = static_cast<double>(KeyBytes(*s));
  st.counters["records"] = s->mlcount;
  st.counters["hits"] = s->hitcount;
  st.counters["screened"] = static_cast<double>(stats.screened);
  st.counters["tested"] = static_cast<double>(stats.candidates);
  st.counters["key_MB"] = keyBytes / 1e6;
  st.counters["tested_MB"] = static_cast<double>(stats.keyBytesTested) / 1e6;
  // Key text covered per second, and key text the substring test had to read.
  st.counters["key_GBps"] =
      benchmark::Counter(keyBytes / 1e9, benchmark::Counter::kIsIterationInvariantRate);
  st.counters["tested_GBps"] = benchmark::Counter(static_cast<double>(stats.keyBytesTested) / 1e9,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

bool AddQueries() {
  std::vector<fs::path> files;
  for (const char* dir : {"/sample/queries", "/bench/data/queries"}) {
    fs::path p = fs::path(VUDUZEZ_SOURCE_DIR).string() + dir;
    if (!fs::is_directory(p)) continue;
    for (const auto& e : fs::directory_iterator(p)) {
      if (e.path().extension() == ".mol") files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files) {
    Molecule mol;
    SilentSink ui;
    if (!PrepareMolFile(mol, f.string(), ui)) continue;
    const Query q = MakeQuery(mol);
    const std::string name = f.stem().string();
    benchmark::RegisterBenchmark(("BM_Query/" + name).c_str(), BM_Query, q, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_QueryNoIndex/" + name).c_str(), BM_Query, q, false)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}

BENCHMARK(BM_LoadSearchData)->Unit(benchmark::kMillisecond)->Iterations(3);
const bool queriesAdded = AddQueries();

}  // namespace
}  // namespace vuduzez

BENCHMARK_MAIN();
