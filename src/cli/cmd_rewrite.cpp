// vuduzez-cli rewrite: abbreviates carbon runs in every key line of the database.
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "database/chains.h"

namespace vuduzez::cli {

namespace {

int RunRewrite(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("rewrite", args, {});
  if (!ws || !ws->args.empty()) return Usage("rewrite");
  std::cerr << "warning: query keys are not abbreviated, so searches will no longer match the "
               "carbon runs rewritten now\n";
  StdoutSink ui;
  int changed = RewriteChains(ws->settings.mdatafilename, ui);
  std::cerr << changed << (changed == 1 ? " key line" : " key lines") << " changed\n";
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"rewrite", "rewrite [--db FILE]   abbreviate carbon runs (C@.. to X2..X6, C-.. to Y2..Y6)",
     &RunRewrite,
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "Only key lines change: names, weights and formulas stay as they are.\n"
     "Query keys are never abbreviated: afterwards searches no longer match the\n"
     "rewritten carbon runs.\n"});

}  // namespace

}  // namespace vuduzez::cli
