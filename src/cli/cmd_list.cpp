// vuduzez-cli list: the name lines of the database, in file order.
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "database/database.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace vuduzez::cli {

namespace {

int RunList(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("list", args, {});
  if (!ws || !ws->args.empty()) return Usage("list");
  // Printed as read, chunk by chunk: memory independent of the database.
  ForEachNameLine(ws->settings.mdatafilename,
                  [](std::string_view name) { std::cout << AnsiToUtf8(Trim(name)) << '\n'; });
  return kExitOk;
}

[[maybe_unused]] const bool registered =
    RegisterCommand({"list", "list [--db FILE]   the name lines of the database", &RunList,
                     "  --db FILE             the database file (else vuduzez.ini's)\n"});

}  // namespace

}  // namespace vuduzez::cli
