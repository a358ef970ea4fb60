// The substructure search as the search window and `vuduzez-cli search` run
// it: a prepared query structure (read, completed and keyed, see
// register/prepare.h) screened against the records loaded with LoadSearchData,
// and the MOL file shown for a hit.
#pragma once

#include <cstdint>
#include <string>

#include "database/mol_files.h"
#include "model/molecule.h"
#include "search/screening.h"

namespace vuduzez {

// Searches the loaded records for the query molecule: its weight, C, N and O
// counts and path codes (MakeQuery) screened in database order (RunScreening).
// Fills hitnames, hitrows and hitcount, sets hitpos to 1 and returns hitcount.
// The caller shows the hit count and hit 1, or kNoMatch when there is none.
// Throws RuntimeError when the query's weight has no integer part.
int32_t SearchStructure(SearchState& state, const Molecule& query, ScreeningStats* stats = nullptr);

// Reads the database file into state (as LoadSearchData), remembering which
// state of the file that was, with the signatures of the screen index
// (search/screen_index.h). mapped: the file is mapped rather than copied
// (for a command that ends soon after).
void LoadSearchDataStamped(SearchState& state, const std::string& dbPath, bool mapped = false);

// The same unless the records are the file's as it is now
// (SearchDataIsCurrent). Returns whether it loaded.
bool RefreshSearchDataStamped(SearchState& state, const std::string& dbPath);

}  // namespace vuduzez
