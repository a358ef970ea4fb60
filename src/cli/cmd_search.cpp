// vuduzez-cli search [--explain] QUERY.mol: substructure search of the
// database: hit names on stdout in database order, the hit count on stderr.
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "register/prepare.h"
#include "search/screening.h"
#include "search/search.h"

namespace vuduzez::cli {

namespace {

int RunSearch(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("search", args, {"--explain"});
  if (!ws) return Usage("search");
  if (ws->args.size() != 1) return Usage("search");
  const bool explain = !ws->flags.empty();
  const std::string& file = ws->args[0];

  Molecule mol;
  StderrSink err;
  ForwardingSink ui(err, file + ": ");
  if (!PrepareMolFile(mol, file, ui)) return kExitFailed;

  SearchState state;
  LoadSearchData(state, ws->settings.mdatafilename);

  if (explain) {
    const Query query = MakeQuery(mol);
    std::cerr << "query: weight " << query.weight << ", C " << query.ccount << ", N "
              << query.ncount << ", O " << query.ocount << ", " << query.codes.size()
              << " path codes: " << AnsiToUtf8(mol.keydata) << '\n';
    std::vector<RecordVerdict> verdicts = ExplainScreening(state, query);
    for (size_t r = 0; r < verdicts.size(); ++r) {
      std::cout << AnsiToUtf8(state.records[r].name) << '\t'
                << ExplainVerdict(state.records[r], query, verdicts[r]) << '\n';
    }
  }
  const int32_t hits = SearchStructure(state, mol);
  if (!explain) {
    for (const std::string& name : state.hitnames) std::cout << AnsiToUtf8(name) << '\n';
  }
  std::cout.flush();
  std::cerr << hits << " hits of " << state.mlcount << " records\n";
  if (hits == 0) std::cerr << kNoMatch << '\n';
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"search",
     "search [--db FILE] [--explain] QUERY.mol   substructure search: hit names in database order",
     &RunSearch});

}  // namespace

}  // namespace vuduzez::cli
