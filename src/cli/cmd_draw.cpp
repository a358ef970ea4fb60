// vuduzez-cli draw [--width N] [--highlight QUERY.mol] (--svg OUT | --png OUT |
// --ops) FILE.mol: read and complete a MOL file and draw it as the search window
// does, with the atoms and bonds the query maps onto in the highlight colour.
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/cmd_draw.h"
#include "depict/depict.h"
#include "depict/recording_canvas.h"
#include "depict/svg_canvas.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "search/sound_search.h"

namespace vuduzez::cli {

namespace {

constexpr int32_t kMaxWidth = 10000;

int RunDraw(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  for (const char* name : {"--width", "--svg", "--png", "--highlight"}) {
    SplitAttachedValue(args, name);
  }
  int32_t width = kPictureWidth;
  std::string mode, out, file, queryFile;
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
    } else if (a == "--highlight" && hasValue) {
      queryFile = args[++i];
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
    // The query is read first: a refused query draws nothing.
    // The match is the exact search's (as RDKit matches).
    std::shared_ptr<const chem::SoundQuery> query;
    if (!queryFile.empty()) {
      const chem::QueryResult q =
          chem::CompileQuery(chem::QueryForm::kMolText, ReadFileBytes(queryFile));
      if (!q.query) {
        std::cerr << queryFile << ": " << QueryNotReadMessage(q.error) << '\n';
        return kExitFailed;
      }
      query = q.query;
    }
    if (!ReadMolFile(mol, file, ui)) return kExitFailed;
    CalcFormulaWeight(mol);
    std::optional<Highlight> highlight;
    if (query) {
      SoundMapping m;
      if (FindSoundMapping(*query, ReadFileBytes(file), m)) {
        highlight = Highlight{m.atoms, MolBondNumbers(mol, m.bonds)};
      } else {
        std::cerr << ui.prefix << kNoAtomMatch << '\n';
      }
    }
    const Highlight* lit = highlight ? &*highlight : nullptr;
    if (mode == "--ops") {
      RecordingCanvas canvas;
      DepictState st;
      DrawMolecule(mol, width, 1, kPictureAspect, canvas, st, nullptr, lit);
      std::cout << canvas.Text();
    } else if (mode == "--svg") {
      SvgCanvas canvas;
      DepictState st;
      DrawMolecule(mol, width, 1, kPictureAspect, canvas, st, nullptr, lit);
      WriteFileBytes(out, canvas.Svg());
    } else {
#ifdef VUDUZEZ_HAVE_QT
      WriteMoleculePng(mol, width, out, lit);
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
     "draw [--width N] [--highlight QUERY.mol] (--svg OUT | --png OUT | --ops) FILE.mol   draw "
     "a MOL file as the search window shows it",
     &RunDraw,
     "  --width N             picture width in pixels (350); the height is 0.7 of it\n"
     "  --highlight QUERY.mol the atoms and bonds of QUERY's first match in red\n"
     "  --svg OUT             write an SVG file\n"
     "  --png OUT             write a PNG file\n"
     "  --ops                 print the drawing operations, one a line\n"});

}  // namespace

}  // namespace vuduzez::cli
