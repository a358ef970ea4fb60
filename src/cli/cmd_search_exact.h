// The exact search of `vuduzez-cli search` (--exact, --smarts, --chiral).
#pragma once

#include <string>

#include "chem/sound_query.h"
#include "cli/cli.h"
#include "cli/workspace.h"
#include "search/hit_export.h"

namespace vuduzez::cli {

// Searches the workspace's database for the query (a MOL file's path, or the
// SMILES or SMARTS itself) and prints the hits as `search` does. Returns the
// exit status.
int RunExactSearch(const Workspace& ws, const std::string& queryArg, chem::QueryForm form,
                   HitFormat format, bool explain, bool chiral);

}  // namespace vuduzez::cli
