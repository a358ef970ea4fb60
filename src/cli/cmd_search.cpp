// vuduzez-cli search [--explain] [--smiles] [--format F] QUERY: substructure
// search of the database: hits on stdout in database order (names, or SD, CSV
// or JSON lines), the hit count on stderr. --exact confirms the screened hits
// atom by atom.
#include <algorithm>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "register/prepare.h"
#include "search/exact_search.h"
#include "search/hit_export.h"
#include "search/screening.h"
#include "search/search.h"

namespace vuduzez::cli {

namespace {

// Progress of reading MOL files for the connection tables, on stderr.
class TablesSink : public StderrSink {
 public:
  void Progress(int done, int total) override {
    if (done == total || done % 5000 == 0) {
      std::cerr << "connection tables: " << done << " of " << total << " read\n";
    }
  }
};

int RunSearch(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  std::string formatName = "names";
  if (!TakeOption(args, "--format", formatName)) return Usage("search");
  const std::optional<HitFormat> format = ParseHitFormat(formatName);
  if (!format) {
    std::cerr << "vuduzez-cli search: unknown format " << formatName << '\n';
    return Usage("search");
  }
  auto ws = OpenWorkspace("search", args, {"--explain", "--smiles", "--exact"});
  if (!ws) return Usage("search");
  if (ws->args.size() != 1) return Usage("search");
  auto flag = [&](const char* f) {
    return std::find(ws->flags.begin(), ws->flags.end(), f) != ws->flags.end();
  };
  const bool explain = flag("--explain");
  const bool exact = flag("--exact");
  const std::string& file = ws->args[0];

  Molecule mol;
  StderrSink err;
  ForwardingSink ui(err, file + ": ");
  const PreparedStructure prepared =
      flag("--smiles") ? PrepareSmiles(mol, file, ui) : PrepareMolFile(mol, file, ui);
  if (!prepared) return kExitFailed;

  SearchState state;
  ExactState tables;
  LoadSearchDataStamped(state, tables, ws->settings.mdatafilename, /*mapped=*/true);
  std::vector<RecordVerdict> verdicts;
  if (explain) verdicts = ExplainScreening(state, MakeQuery(mol));
  int32_t hits = SearchStructure(state, mol);
  ExactResult confirmed;
  if (exact) {
    TablesSink progress;
    confirmed =
        ConfirmHits(state, tables, MakeSubstructureQuery(mol), ws->settings.basedir1, progress);
    hits = state.hitcount;
  }

  if (explain) {
    const Query query = MakeQuery(mol);
    std::cerr << "query: weight " << query.weight << ", C " << query.ccount << ", N "
              << query.ncount << ", O " << query.ocount << ", " << query.codes.size()
              << " path codes: " << AnsiToUtf8(mol.keydata) << '\n';
    if (prepared.hydrogensLeftOut > 0) {
      std::cerr << "query: " << KeyWithoutHydrogensNote(prepared.hydrogensLeftOut) << '\n';
    }
    const std::vector<std::string> why = ExplainConfirmation(confirmed, verdicts.size());
    for (size_t r = 0; r < verdicts.size(); ++r) {
      std::cout << AnsiToUtf8(std::string(state.records[r].name)) << '\t'
                << (why[r].empty() ? ExplainVerdict(state.records[r], query, verdicts[r]) : why[r])
                << '\n';
    }
  }
  int unwritten = 0;
  if (!explain) {
    unwritten = WriteHits(std::cout, *format, state.hitnames, ws->settings.basedir1,
                          [](const std::string& m) { std::cerr << m << '\n'; });
    for (const auto& u : confirmed.unconfirmed) {
      std::cerr << "unconfirmed: "
                << AnsiToUtf8(std::string(state.records[static_cast<size_t>(u.row)].name)) << ": "
                << u.reason << '\n';
    }
  }
  std::cout.flush();
  std::cerr << hits << " hits of " << state.mlcount << " records";
  if (exact) {
    std::cerr << " (" << confirmed.screened << " screened, " << confirmed.unconfirmed.size()
              << " unconfirmed)";
  }
  std::cerr << '\n';
  if (hits == 0) std::cerr << kNoMatch << '\n';
  return unwritten == 0 ? kExitOk : kExitFailed;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"search",
     "search [--db FILE] [--mol-dir DIR] [--explain] [--exact] [--format names|sdf|csv|json] "
     "(QUERY.mol | --smiles SMILES)   substructure search: hits in database order; "
     "--exact confirms them atom by atom",
     &RunSearch});

}  // namespace

}  // namespace vuduzez::cli
