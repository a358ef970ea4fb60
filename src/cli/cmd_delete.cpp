// vuduzez-cli delete NAME: removes every record whose name line is NAME.
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "register/batch.h"

namespace vuduzez::cli {

namespace {

int RunDelete(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("delete", args, {});
  if (!ws) return Usage("delete");
  if (ws->args.size() != 1) return Usage("delete");
  std::optional<std::string> nameLine = Utf8ToAnsi(ws->args[0]);
  if (!nameLine) {
    std::cerr << "vuduzez-cli delete: the name has characters that CP932 cannot hold\n";
    return kExitFailed;
  }
  StdoutSink ui;
  int removed = DeleteCompound(ws->settings.mdatafilename, *nameLine, ui);
  std::cerr << removed << (removed == 1 ? " record" : " records") << " removed\n";
  return removed > 0 ? kExitOk : kExitFailed;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"delete", "delete [--db FILE] NAME   remove the records whose name line is NAME (e.g. x.mol)",
     &RunDelete,
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "Exit status 1 when no record has that name.\n"});

}  // namespace

}  // namespace vuduzez::cli
