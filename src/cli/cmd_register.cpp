// vuduzez-cli register [--skip-same-structure] [FOLDER]: batch registration
// of a folder of MOL files (the MOL file folder of vuduzez.ini when none is
// given); the files of another folder are copied into the MOL folder, and
// structures registered already are named (or left out).
#include <iostream>

#include "cli/cli.h"
#include "cli/progress.h"
#include "cli/workspace.h"
#include "platform/files.h"
#include "platform/messages.h"
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
    case EntryOutcome::kSameStructure:
      return "same structure";
  }
  return "";
}

int RunRegister(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("register", args, {"--skip-same-structure"});
  if (!ws) return Usage("register");
  if (ws->args.size() > 1) return Usage("register");
  const std::string folder = ws->args.empty() ? ws->settings.basedir1 : ws->args[0];

  Molecule mol;
  QuietSink ui;
  if (folder.empty()) {
    std::cerr << kNoMolFolder << '\n';
    return kExitFailed;
  }
  if (IsRegularFile(folder)) {
    std::cerr << NotAFolderMessage(folder) << '\n';
    return kExitFailed;
  }
  // The structures registered before, to name the entries that repeat them.
  SoundState registered;
  BatchOptions options;
  options.molFolder = ws->settings.basedir1;
  options.skipSameStructure = !ws->flags.empty();
  if (PrepareRegistered(registered, *ws)) options.registered = &*registered.index;
  BatchSummary s = BatchRegister(folder, ws->settings.mdatafilename, mol, ui, options);
  for (const BatchEntry& e : s.entries) {
    std::cout << OutcomeText(e.outcome) << '\t' << ShownName(e.fileName);
    if (!e.reason.empty() && e.outcome != EntryOutcome::kAlreadyRegistered) {
      std::cout << '\t' << e.reason;
    } else if (!e.sameAs.empty()) {
      std::cout << '\t' << SameStructureAsMessage(e.sameAs);
    }
    std::cout << '\n';
  }
  std::cout << s.registered << " registered, " << s.alreadyRegistered << " already registered, "
            << s.refused << " refused, " << s.skipped << " skipped, " << s.sameStructure
            << " same structure\n";
  if (!s.finished) return kExitFailed;
  std::cerr << kBatchFinished << '\n';
  return s.refused > 0 ? kExitFailed : kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"register",
     "register [--db FILE] [--mol-dir DIR] [--skip-same-structure] [FOLDER]   register every "
     "MOL file of a folder",
     &RunRegister,
     "FOLDER defaults to the MOL file folder; the files of another folder are copied\n"
     "into the MOL file folder (never over a different file: such a file is refused).\n"
     "A line per folder entry goes to stdout (registered, already registered, refused\n"
     "with the reason, skipped, same structure), then the counts; an entry whose\n"
     "structure is registered already names those compounds. Exit status 1 when a\n"
     "file was refused.\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"
     "  --skip-same-structure leave out the files whose structure is registered already\n"});

}  // namespace

}  // namespace vuduzez::cli
