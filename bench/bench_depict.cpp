// Drawings per second of the sample molecules onto the recording canvas (the
// search window pages through hits one drawing at a time) and onto SVG.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "depict/depict.h"
#include "depict/recording_canvas.h"
#include "depict/svg_canvas.h"
#include "model/molreader.h"
#include "platform/message_sink.h"

namespace {

using namespace vuduzez;

const std::vector<Molecule>& SampleMolecules() {
  static const std::vector<Molecule> molecules = [] {
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(VUDUZEZ_SOURCE_DIR "/sample/mol")) {
      if (entry.path().extension() == ".mol") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Molecule> out;
    SilentSink ui;
    for (const auto& file : files) {
      Molecule mol;
      if (ReadMolFile(mol, file.string(), ui)) {
        CalcFormulaWeight(mol);
        out.push_back(std::move(mol));
      }
    }
    return out;
  }();
  return molecules;
}

void BM_DrawRecording(benchmark::State& state) {
  std::vector<Molecule> molecules = SampleMolecules();
  if (molecules.empty()) {
    state.SkipWithError("no sample molecules");
    return;
  }
  RecordingCanvas canvas;
  size_t i = 0;
  for (auto _ : state) {
    canvas.Clear();
    DrawMolecule(molecules[i], kPictureWidth, 1, kPictureAspect, canvas);
    benchmark::DoNotOptimize(canvas.Text().data());
    i = (i + 1) % molecules.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["molecules"] = static_cast<double>(molecules.size());
}
BENCHMARK(BM_DrawRecording);

void BM_DrawSvg(benchmark::State& state) {
  std::vector<Molecule> molecules = SampleMolecules();
  if (molecules.empty()) {
    state.SkipWithError("no sample molecules");
    return;
  }
  size_t i = 0;
  for (auto _ : state) {
    SvgCanvas canvas;
    DrawMolecule(molecules[i], kPictureWidth, 1, kPictureAspect, canvas);
    benchmark::DoNotOptimize(canvas.Svg().data());
    i = (i + 1) % molecules.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawSvg);

}  // namespace
