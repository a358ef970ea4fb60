// Read + formula + key over the sample MOL files and over the benchmark set
// (bench/data/keymol, made by tools/bench_key.sh), the worst case (a fused
// ring molecule just under the 10000 path texts at which a key is refused),
// and the slowest single molecule of both sets with the peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "register/prepare.h"

namespace {

using namespace vuduzez;

std::vector<std::string> MolFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    if (e.path().extension() == ".mol") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The whole pipeline on one file; false when the file was refused or failed.
bool KeyFile(Molecule& mol, const std::string& file, MessageSink& ui) {
  try {
    return PrepareMolFile(mol, file, ui).ready();
  } catch (const RuntimeError&) {
    return false;
  }
}

void KeySet(benchmark::State& state, const std::vector<std::string>& files) {
  Molecule mol;
  SilentSink ui;
  int keyed = 0;
  for (auto _ : state) {
    keyed = 0;
    for (const std::string& f : files) keyed += KeyFile(mol, f, ui);
    benchmark::DoNotOptimize(mol.keydata.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
  state.counters["molecules"] = static_cast<double>(files.size());
  state.counters["keyed"] = keyed;
}

// A hexacene drawn with alternating bonds, with a chain of seven carbons at
// atom 1 and one of eight at atom 10: 9965 path texts.
Molecule FusedRings() {
  Molecule mol;
  constexpr int kRow = 13;  // atoms per row: the hexacene is two rows with rungs
  int bonds = 0;
  auto bond = [&](int a, int b, int type) {
    BondRow& r = mol.bnddata[static_cast<size_t>(++bonds)];
    r.atom1 = a;
    r.atom2 = b;
    r.order = type;
    r.bsym.assign(1, type == 2 ? '=' : '-');
    mol.atmdata[static_cast<size_t>(a)].degree += 1;
    mol.atmdata[static_cast<size_t>(b)].degree += 1;
  };
  for (int i = 1; i < kRow; ++i) {
    bond(i, i + 1, 1 + i % 2);
    bond(kRow + i, kRow + i + 1, i % 2 == 0 ? 2 : 1);
  }
  for (int i = 1; i <= kRow; i += 2) bond(i, kRow + i, 1);
  int atoms = 2 * kRow;
  for (auto [at, length] : {std::pair{1, 7}, std::pair{10, 8}}) {
    for (int k = 0, prev = at; k < length; ++k, prev = atoms) bond(prev, ++atoms, 1);
  }
  mol.atmcount = atoms;
  mol.bndcount = bonds;
  for (int i = 1; i <= atoms; ++i) {
    mol.atmdata[static_cast<size_t>(i)].symbol.assign(1, 'C');
    mol.posdata[static_cast<size_t>(i)].rawsym.assign("C ", 2);
    mol.posdata[static_cast<size_t>(i)].elem = kCarbon;
    mol.posdata[static_cast<size_t>(i)].valence = 4;
  }
  mol.elmcount[kCarbon] = atoms;
  mol.molname.assign("fused", 5);
  return mol;
}

void KeyFusedRingWorstCase(benchmark::State& state) {
  const Molecule base = FusedRings();
  Molecule mol;
  SilentSink ui;
  bool ok = false;
  for (auto _ : state) {
    state.PauseTiming();
    mol = base;
    state.ResumeTiming();
    ok = MakeStructureKey(mol, ui).ok();
    benchmark::DoNotOptimize(mol.keydata.data());
  }
  state.counters["paths"] = LastPathCount();
  state.counters["keyed"] = ok;
}

// CPU time of this thread: the machine may be shared.
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Best of a few runs for every molecule of both sets; the slowest one goes
// into the label, with its path count and the process's peak memory.
void Slowest(benchmark::State& state, const std::vector<std::string>& files) {
  Molecule mol;
  SilentSink ui;
  double worst = 0;
  std::string worst_file;
  int worst_paths = 0;
  for (auto _ : state) {
    for (const std::string& f : files) {
      double best = 1e30;
      for (int rep = 0; rep < 5; ++rep) {
        const double t0 = CpuMs();
        KeyFile(mol, f, ui);
        best = std::min(best, CpuMs() - t0);
      }
      if (best > worst) {
        worst = best;
        worst_file = std::filesystem::path(f).filename().string();
        worst_paths = LastPathCount();
      }
    }
  }
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["slowest_ms"] = worst;
  state.counters["paths"] = worst_paths;
  state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetLabel(worst_file);
}

const std::vector<std::string>& SampleFiles() {
  static const std::vector<std::string> files =
      MolFiles(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol");
  return files;
}

const std::vector<std::string>& BenchFiles() {
  static const std::vector<std::string> files =
      MolFiles(std::string(VUDUZEZ_SOURCE_DIR) + "/bench/data/keymol");
  return files;
}

void KeySampleSet(benchmark::State& state) { KeySet(state, SampleFiles()); }

void KeyBenchSet(benchmark::State& state) {
  if (BenchFiles().empty()) state.SkipWithError("no bench/data/keymol: run tools/bench_key.sh");
  KeySet(state, BenchFiles());
}

void KeySlowestMolecule(benchmark::State& state) {
  std::vector<std::string> all = SampleFiles();
  all.insert(all.end(), BenchFiles().begin(), BenchFiles().end());
  Slowest(state, all);
}

}  // namespace

BENCHMARK(KeySampleSet)->Unit(benchmark::kMillisecond);
BENCHMARK(KeyBenchSet)->Unit(benchmark::kMillisecond);
BENCHMARK(KeyFusedRingWorstCase)->Unit(benchmark::kMillisecond);
BENCHMARK(KeySlowestMolecule)->Unit(benchmark::kMillisecond)->Iterations(1);
