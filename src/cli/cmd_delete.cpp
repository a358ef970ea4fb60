// vuduzez-cli delete NAME: removes every record whose name line is NAME and
// moves the compound's MOL file into the trash folder of the MOL folder.
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "platform/messages.h"
#include "register/delete.h"

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
  int removed = DeleteCompound(ws->settings.mdatafilename, ws->settings.basedir1, *nameLine, ui);
  std::cerr << removed << (removed == 1 ? " record" : " records") << " removed\n";
  return removed > 0 ? kExitOk : kExitFailed;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"delete",
     "delete [--db FILE] [--mol-dir DIR] NAME   remove the records whose name line is NAME "
     "(e.g. x.mol)",
     &RunDelete,
     "The compound's MOL file goes into the folder 削除済み inside the MOL file folder\n"
     "(vuduzez-cli restore NAME brings it back). Exit status 1 when no record has\n"
     "that name.\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"});

int RunRestore(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("restore", args, {});
  if (!ws || ws->args.size() != 1) return Usage("restore");
  if (ws->settings.basedir1.empty()) {
    std::cerr << kNoMolFolder << '\n';
    return kExitFailed;
  }
  std::optional<std::string> nameLine = Utf8ToAnsi(ws->args[0]);
  if (!nameLine) {
    std::cerr << "vuduzez-cli restore: the name has characters that CP932 cannot hold\n";
    return kExitFailed;
  }
  StdoutSink ui;
  Molecule mol;
  const RestoreStatus status =
      RestoreCompound(ws->settings.mdatafilename, ws->settings.basedir1, *nameLine, mol, ui);
  return status == RestoreStatus::kRestored ? kExitOk : kExitFailed;
}

[[maybe_unused]] const bool restoreRegistered = RegisterCommand(
    {"restore", "restore [--db FILE] [--mol-dir DIR] NAME   bring a deleted compound back",
     &RunRestore,
     "Moves the MOL file of the compound deleted as NAME (its name line, e.g. x.mol)\n"
     "back from the folder 削除済み into the MOL file folder and registers it again.\n"
     "Exit status 1 when it is not in the trash, its name is registered, or the MOL\n"
     "folder holds another file of its name.\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"});

}  // namespace

}  // namespace vuduzez::cli
