// vuduzez-cli search [--explain] [--smiles|--smarts] [--exact] [--chiral]
// [--format F] QUERY: substructure search of the database: hits on stdout in
// database order (names, or SD, CSV or JSON lines), the hit count on stderr.
// --exact (implied by --smarts and --chiral) matches atom by atom as RDKit
// does (cmd_search_exact.cpp).
#include <algorithm>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/cmd_search_exact.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "register/prepare.h"
#include "search/hit_export.h"
#include "search/screening.h"
#include "search/search.h"

namespace vuduzez::cli {

namespace {

int RunSearch(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  std::string formatName = "names";
  if (!TakeOption(args, "--format", formatName)) return Usage("search");
  const std::optional<HitFormat> format = ParseHitFormat(formatName);
  if (!format) {
    std::cerr << "vuduzez-cli search: unknown format " << formatName << '\n';
    return Usage("search");
  }
  auto ws =
      OpenWorkspace("search", args, {"--explain", "--smiles", "--smarts", "--exact", "--chiral"});
  if (!ws) return Usage("search");
  if (ws->args.size() != 1) return Usage("search");
  auto flag = [&](const char* f) {
    return std::find(ws->flags.begin(), ws->flags.end(), f) != ws->flags.end();
  };
  const bool explain = flag("--explain");
  const std::string& file = ws->args[0];
  if (flag("--smiles") && flag("--smarts")) return Usage("search");
  if (flag("--exact") || flag("--smarts") || flag("--chiral")) {
    const chem::QueryForm form = flag("--smarts")   ? chem::QueryForm::kSmarts
                                 : flag("--smiles") ? chem::QueryForm::kSmiles
                                                    : chem::QueryForm::kMolText;
    return RunExactSearch(*ws, file, form, *format, explain, flag("--chiral"));
  }

  Molecule mol;
  StderrSink err;
  ForwardingSink ui(err, file + ": ");
  if (!(flag("--smiles") ? PrepareSmiles(mol, file, ui) : PrepareMolFile(mol, file, ui))) {
    return kExitFailed;
  }

  SearchState state;
  LoadSearchDataStamped(state, ws->settings.mdatafilename, /*mapped=*/true);
  std::vector<RecordVerdict> verdicts;
  if (explain) verdicts = ExplainScreening(state, MakeQuery(mol));
  const int32_t hits = SearchStructure(state, mol);

  if (explain) {
    const Query query = MakeQuery(mol);
    std::cerr << "query: weight " << query.weight << ", C " << query.ccount << ", N "
              << query.ncount << ", O " << query.ocount << ", " << query.codes.size()
              << " path codes: " << AnsiToUtf8(mol.keydata) << '\n';
    for (size_t r = 0; r < verdicts.size(); ++r) {
      std::cout << AnsiToUtf8(std::string(state.records[r].name)) << '\t'
                << ExplainVerdict(state.records[r], query, verdicts[r]) << '\n';
    }
  }
  int unwritten = 0;
  if (!explain) {
    unwritten = WriteHits(std::cout, *format, state.hitnames, ws->settings.basedir1,
                          [](const std::string& m) { std::cerr << m << '\n'; });
  }
  std::cout.flush();
  std::cerr << hits << " hits of " << state.mlcount << " records\n";
  if (hits == 0) std::cerr << kNoMatch << '\n';
  return unwritten == 0 ? kExitOk : kExitFailed;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"search",
     "search [--db FILE] [--mol-dir DIR] [--explain] [--exact] [--chiral] "
     "[--format names|sdf|csv|json] (QUERY.mol | --smiles SMILES | --smarts SMARTS)   "
     "substructure search: hits in database order; --exact matches atom by atom as RDKit "
     "does (implied by --smarts and --chiral), --chiral matches stereo too",
     &RunSearch});

}  // namespace

}  // namespace vuduzez::cli
