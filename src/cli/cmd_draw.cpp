// vuduzez-cli draw [--width N] (--svg OUT | --png OUT | --ops) FILE.mol: read and
// complete a MOL file and draw it as the search window does.
#include <iostream>

#include "cli/cli.h"
#include "cli/cmd_draw.h"
#include "depict/depict.h"
#include "depict/recording_canvas.h"
#include "depict/svg_canvas.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez::cli {

namespace {

constexpr int32_t kMaxWidth = 10000;

int RunDraw(const std::vector<std::string>& args) {
  int32_t width = kPictureWidth;
  std::string mode, out, file;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--width" && hasValue) {
      int w = 0;
      if (!TryStrToInt(args[++i], w) || w < 1 || w > kMaxWidth) {
        std::cerr << "vuduzez-cli draw: --width takes a number from 1 to " << kMaxWidth << '\n';
        return Usage("draw");
      }
      width = w;
    } else if ((a == "--svg" || a == "--png") && hasValue) {
      if (!mode.empty()) return Usage("draw");
      mode = a;
      out = args[++i];
    } else if (a == "--ops") {
      if (!mode.empty()) return Usage("draw");
      mode = a;
    } else if (a.size() > 1 && a[0] == '-') {
      std::cerr << "vuduzez-cli draw: unknown option or missing value: " << a << '\n';
      return Usage("draw");
    } else {
      if (!file.empty()) return Usage("draw");
      file = a;
    }
  }
  if (mode.empty() || file.empty()) return Usage("draw");
#ifndef VUDUZEZ_HAVE_QT
  if (mode == "--png") {
    std::cerr << "vuduzez-cli draw: --png is not available in this build (built without Qt)\n";
    return kExitUsage;
  }
#endif

  Molecule mol;
  StderrSink err;
  ForwardingSink ui(err, file + ": ");
  try {
    if (!ReadMolFile(mol, file, ui)) return kExitFailed;
    CalcFormulaWeight(mol);
    if (mode == "--ops") {
      RecordingCanvas canvas;
      DrawMolecule(mol, width, 1, kPictureAspect, canvas);
      std::cout << canvas.Text();
    } else if (mode == "--svg") {
      SvgCanvas canvas;
      DrawMolecule(mol, width, 1, kPictureAspect, canvas);
      WriteFileBytes(out, canvas.Svg());
    } else {
#ifdef VUDUZEZ_HAVE_QT
      WriteMoleculePng(mol, width, out);
#endif
    }
  } catch (const RuntimeError& e) {
    std::cerr << ui.prefix << e.what() << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"draw",
     "draw [--width N] (--svg OUT | --png OUT | --ops) FILE.mol   draw a MOL file as the "
     "search window shows it",
     &RunDraw});

}  // namespace

}  // namespace vuduzez::cli
