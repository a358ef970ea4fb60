// The similarity search: sorting the similarity index from a valid sound
// index, loading (mapping) a valid one, and each query once loaded at the
// threshold 0.7 and for the top 50, on one thread and on every core. Runs
// when VUDUZEZ_BENCH_SIMILAR_DB (database), _MOLS (its MOL folder) and
// _QUERIES (a list "name<TAB>smiles|mol<TAB>text") are set; the indexes go
// where XDG_CACHE_HOME says. tools/bench_similar.sh sets them up and prints
// the figures beside RDKit's BulkTanimotoSimilarity.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "chem/similarity.h"
#include "platform/files.h"
#include "search/similar_search.h"

namespace vuduzez {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

SimilarState& Loaded() {
  static SimilarState* state = [] {
    auto* s = new SimilarState;
    SoundState sound;
    SilentSink quiet;
    PrepareSimilarIndex(*s, sound, Env("VUDUZEZ_BENCH_SIMILAR_DB"),
                        Env("VUDUZEZ_BENCH_SIMILAR_MOLS"), quiet);
    return s;
  }();
  return *state;
}

// The prints sorted into their bins again from the sound index (mapped).
void BM_SimilarIndexSort(benchmark::State& st) {
  Loaded();
  const std::optional<MappedSoundIndex> sound = MapSoundIndex(Env("VUDUZEZ_BENCH_SIMILAR_DB"));
  if (!sound) {
    st.SkipWithError("no sound index");
    return;
  }
  for (auto _ : st) {
    const SimilarPayload payload(sound->index);
    benchmark::DoNotOptimize(payload.parts().data());
  }
  st.counters["records"] = static_cast<double>(sound->index.size());
}

// A valid similarity index mapped and checked (its checksum read).
void BM_SimilarIndexLoad(benchmark::State& st) {
  Loaded();
  for (auto _ : st) {
    std::optional<MappedSimilarIndex> m = MapSimilarIndex(Env("VUDUZEZ_BENCH_SIMILAR_DB"));
    benchmark::DoNotOptimize(m->index.size());
  }
}

void BM_Similar(benchmark::State& st, chem::SimilarityPrint query, double threshold, size_t top,
                size_t threads) {
  const SimilarIndex& ix = *Loaded().index;
  std::vector<SimilarHit> hits;
  int64_t compared = 0;
  for (auto _ : st) {
    hits = RankSimilar(ix, query, threshold, top, threads, &compared);
    benchmark::DoNotOptimize(hits.data());
  }
  st.counters["hits"] = static_cast<double>(hits.size());
  st.counters["compared"] = static_cast<double>(compared);
  st.counters["records"] = static_cast<double>(ix.size());
}

bool Register() {
  if (Env("VUDUZEZ_BENCH_SIMILAR_DB").empty()) return false;
  benchmark::RegisterBenchmark("BM_SimilarIndexSort", BM_SimilarIndexSort)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark("BM_SimilarIndexLoad", BM_SimilarIndexLoad)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  std::ifstream list(Env("VUDUZEZ_BENCH_SIMILAR_QUERIES"));
  for (std::string line; std::getline(list, line);) {
    std::istringstream fields(line);
    std::string name, form, text;
    std::getline(fields, name, '\t');
    std::getline(fields, form, '\t');
    std::getline(fields, text);
    if (name.empty() || name[0] == '#') continue;
    const bool mol = form == "mol";
    const chem::SimilarityQuery q =
        chem::SimilarityQueryOf(mol ? chem::QueryForm::kMolText : chem::QueryForm::kSmiles,
                                mol ? ReadFileBytes(text) : text);
    if (!q.ok) continue;
    for (size_t threads : {size_t{1}, size_t{0}}) {
      const std::string one = threads == 1 ? "1" : "";
      benchmark::RegisterBenchmark(("BM_Similar" + one + "Threshold/" + name).c_str(), BM_Similar,
                                   q.print, kDefaultSimilarity, size_t{0}, threads)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_Similar" + one + "Top50/" + name).c_str(), BM_Similar,
                                   q.print, 0.0, size_t{50}, threads)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}

const bool registered = Register();

}  // namespace
}  // namespace vuduzez
