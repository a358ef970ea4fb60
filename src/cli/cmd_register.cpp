// vuduzez-cli register [FOLDER]: batch registration of a folder of MOL files
// (the MOL file folder of vuduzez.ini when none is given).
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "register/batch.h"
#include "register/store.h"

namespace vuduzez::cli {

namespace {

// The per-entry messages are printed as the entry lines below; only errors and
// the final message go to stderr.
class QuietSink : public MessageSink {
 public:
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }
};

const char* OutcomeText(EntryOutcome outcome) {
  switch (outcome) {
    case EntryOutcome::kRegistered:
      return "registered";
    case EntryOutcome::kAlreadyRegistered:
      return "already registered";
    case EntryOutcome::kRefused:
      return "refused";
    case EntryOutcome::kSkipped:
      return "skipped";
  }
  return "";
}

int RunRegister(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("register", args, {});
  if (!ws) return Usage("register");
  if (ws->args.size() > 1) return Usage("register");
  const std::string folder = ws->args.empty() ? ws->settings.basedir1 : ws->args[0];

  Molecule mol;
  QuietSink ui;
  if (folder.empty()) {
    std::cerr << kNoMolFolder << '\n';
    return kExitFailed;
  }
  BatchSummary s = BatchRegister(folder, ws->settings.mdatafilename, mol, ui);
  for (const BatchEntry& e : s.entries) {
    std::cout << OutcomeText(e.outcome) << '\t' << ShownName(e.fileName);
    if (!e.reason.empty() && e.outcome != EntryOutcome::kAlreadyRegistered) {
      std::cout << '\t' << e.reason;
    }
    std::cout << '\n';
  }
  std::cout << s.registered << " registered, " << s.alreadyRegistered << " already registered, "
            << s.refused << " refused, " << s.skipped << " skipped\n";
  if (!s.finished) return kExitFailed;
  std::cerr << kBatchFinished << '\n';
  return s.refused > 0 ? kExitFailed : kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"register",
     "register [--db FILE] [--mol-dir DIR] [FOLDER]   register every MOL file of a folder",
     &RunRegister,
     "FOLDER defaults to the MOL file folder. A line per folder entry goes to stdout\n"
     "(registered, already registered, refused with the reason, skipped), then the\n"
     "counts; exit status 1 when a file was refused.\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"});

}  // namespace

}  // namespace vuduzez::cli
