// vuduzez-cli search [--explain] [--exact] QUERY.mol: substructure search of
// the database: hit names on stdout in database order, the hit count on
// stderr. --exact confirms the screened hits atom by atom.
#include <algorithm>
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "search/exact_search.h"
#include "search/screening.h"

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

int RunSearch(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("search", args, {"--explain", "--exact"});
  if (!ws) return Usage("search");
  if (ws->args.size() != 1) return Usage("search");
  const auto has = [&](const char* f) {
    return std::find(ws->flags.begin(), ws->flags.end(), f) != ws->flags.end();
  };
  const bool explain = has("--explain");
  const bool exact = has("--exact");
  const std::string& file = ws->args[0];

  Molecule mol;
  StderrSink err;
  ForwardingSink ui(err, file + ": ");
  if (!ReadMolFile(mol, file, ui)) return kExitFailed;
  CalcFormulaWeight(mol);
  std::string keyfail = "F";
  if (!MakeStructureKey(mol, keyfail, ui)) return kExitFailed;
  const Query query = MakeQuery(mol);

  SearchState state;
  ExactState tables;
  LoadSearchDataStamped(state, tables, ws->settings.mdatafilename);
  const std::vector<RecordVerdict> verdicts =
      explain ? ExplainScreening(state, query) : std::vector<RecordVerdict>{};
  int32_t hits = RunScreening(state, query);
  ExactResult confirmed;
  std::vector<std::string> why(explain ? verdicts.size() : 0);  // exact verdicts by row
  if (exact) {
    TablesSink progress;
    confirmed =
        ConfirmHits(state, tables, MakeSubstructureQuery(mol), ws->settings.basedir1, progress);
    hits = state.hitcount;
  }
  if (explain) {
    for (int32_t r : confirmed.unmatched) why[static_cast<size_t>(r)] = kNoAtomMatch;
    for (const auto& u : confirmed.unconfirmed) {
      why[static_cast<size_t>(u.row)] = "unconfirmed: " + u.reason;
    }
  }

  if (explain) {
    std::cerr << "query: weight " << query.weight << ", C " << query.ccount << ", N "
              << query.ncount << ", O " << query.ocount << ", " << query.codes.size()
              << " path codes: " << AnsiToUtf8(mol.keydata) << '\n';
    for (size_t r = 0; r < verdicts.size(); ++r) {
      std::cout << AnsiToUtf8(state.records[r].name) << '\t'
                << (why[r].empty() ? ExplainVerdict(state.records[r], query, verdicts[r]) : why[r])
                << '\n';
    }
  }
  if (!explain) {
    for (const std::string& name : state.hitnames) std::cout << AnsiToUtf8(name) << '\n';
  }
  std::cout.flush();
  for (const auto& u : explain ? std::vector<ExactResult::Unconfirmed>{} : confirmed.unconfirmed) {
    std::cerr << "unconfirmed: " << AnsiToUtf8(state.records[static_cast<size_t>(u.row)].name)
              << ": " << u.reason << '\n';
  }
  std::cerr << hits << " hits of " << state.mlcount << " records";
  if (exact) {
    std::cerr << " (" << confirmed.screened << " screened, " << confirmed.unconfirmed.size()
              << " unconfirmed)";
  }
  std::cerr << '\n';
  if (hits == 0) std::cerr << kNoMatch << '\n';
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"search",
     "search [--db FILE] [--explain] [--exact] QUERY.mol   substructure search: hit names in "
     "database order; --exact confirms them atom by atom",
     &RunSearch});

}  // namespace

}  // namespace vuduzez::cli
