// vuduzez-cli duplicates [--level exact|parent|nostereo|tautomer]: the groups
// of records of one structure, by one layer of their identity as the sound
// index has it (database/identity_catalog.h).
#include <iostream>

#include "chem/identity.h"
#include "cli/cli.h"
#include "cli/progress.h"
#include "cli/workspace.h"
#include "database/identity_catalog.h"
#include "platform/encoding.h"
#include "platform/messages.h"

namespace vuduzez::cli {

namespace {

int RunDuplicates(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  std::string levelName = "exact";
  if (!TakeOption(args, "--level", levelName)) return Usage("duplicates");
  const std::optional<chem::IdentityLevel> level = chem::ParseIdentityLevel(levelName);
  if (!level) {
    std::cerr << "vuduzez-cli duplicates: unknown level " << levelName << '\n';
    return Usage("duplicates");
  }
  auto ws = OpenWorkspace("duplicates", args, {});
  if (!ws || !ws->args.empty()) return Usage("duplicates");
  if (ws->settings.basedir1.empty()) {
    std::cerr << kNoMolFolder << '\n';
    return kExitFailed;
  }
  SoundState state;
  {
    ProgressSink progress("sound index: MOL files read");
    PrepareSoundIndex(state, ws->settings.mdatafilename, ws->settings.basedir1, progress);
  }
  const SoundIndex& ix = *state.index;
  const std::vector<std::vector<size_t>> groups = DuplicateGroups(ix, *level);
  size_t records = 0;
  for (const std::vector<size_t>& group : groups) {
    // The layer the group shares as a SMILES (a tautomer group's hash reads as
    // nothing a chemist knows: its first record without stereo instead), then
    // its records' names.
    const chem::IdentityLevel shown =
        *level == chem::IdentityLevel::kTautomer ? chem::IdentityLevel::kNoStereo : *level;
    std::cout << ix.Layer(group.front(), shown);
    for (size_t r : group) std::cout << '\t' << AnsiToUtf8(std::string(ix.Name(r)));
    std::cout << '\n';
    records += group.size();
  }
  size_t unknown = 0;
  for (size_t r = 0; r < ix.size(); ++r) unknown += ix.LayerHash(r, *level) == 0 ? 1 : 0;
  std::cerr << groups.size() << " groups of " << records << " records (" << levelName << ") among "
            << ix.size() << " records";
  if (unknown > 0) std::cerr << "; " << unknown << " without a structure RDKit reads";
  std::cerr << '\n';
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"duplicates",
     "duplicates [--db FILE] [--mol-dir DIR] [--level exact|parent|nostereo|tautomer]   "
     "groups of records of one structure",
     &RunDuplicates,
     "Each line is one group: the SMILES its records share (of a tautomer group,\n"
     "its first record's without stereo), then their names, tab-separated, in\n"
     "database order. The structures are RDKit's reading of the MOL\n"
     "files (kept in the cache with the exact search's index).\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"
     "  --level L             exact (default): the same structure (canonical SMILES);\n"
     "                        parent: also salts, solvates and charge forms;\n"
     "                        nostereo: also stereoisomers; tautomer: also tautomers\n"});

}  // namespace

}  // namespace vuduzez::cli
