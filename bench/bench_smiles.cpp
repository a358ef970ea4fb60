// SMILES reading over real molecules (bench/data/smiles.smi, one SMILES a
// line, made by tools/bench_smiles.sh): the reader alone, and reader +
// formula + key as a SMILES query takes them.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "model/smiles.h"

namespace {

using namespace vuduzez;

const std::vector<std::string>& SmilesSet() {
  static const std::vector<std::string> set = [] {
    std::vector<std::string> lines;
    std::ifstream in(std::string(VUDUZEZ_SOURCE_DIR) + "/bench/data/smiles.smi");
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }();
  return set;
}

void SmilesRead(benchmark::State& state) {
  const auto& set = SmilesSet();
  if (set.empty()) state.SkipWithError("no bench/data/smiles.smi: run tools/bench_smiles.sh");
  Molecule mol;
  int read = 0;
  for (auto _ : state) {
    read = 0;
    for (const std::string& s : set) read += ReadSmiles(mol, s).ok;
    benchmark::DoNotOptimize(mol.atmcount);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set.size()));
  state.counters["molecules"] = static_cast<double>(set.size());
  state.counters["read"] = read;
}

void SmilesReadFormulaKey(benchmark::State& state) {
  const auto& set = SmilesSet();
  if (set.empty()) state.SkipWithError("no bench/data/smiles.smi: run tools/bench_smiles.sh");
  Molecule mol;
  SilentSink sink;
  int keyed = 0;
  for (auto _ : state) {
    keyed = 0;
    for (const std::string& s : set) {
      if (!ReadSmiles(mol, s).ok) continue;
      CalcFormulaWeight(mol);
      keyed += MakeStructureKey(mol, sink).ok();
    }
    benchmark::DoNotOptimize(mol.keydata.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set.size()));
  state.counters["keyed"] = keyed;
}

}  // namespace

BENCHMARK(SmilesRead)->Unit(benchmark::kMillisecond);
BENCHMARK(SmilesReadFormulaKey)->Unit(benchmark::kMillisecond);
