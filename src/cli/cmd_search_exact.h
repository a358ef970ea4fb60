// The exact search of `vuduzez-cli search` (--exact, --smarts, --chiral):
// each query as RDKit reads it, matched against every record's MOL file
// through the sound index (search/sound_search.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chem/sound_query.h"
#include "cli/workspace.h"
#include "search/sound_search.h"

namespace vuduzez::cli {

class ExactSearcher {
 public:
  // Prepares the index of the workspace's database (made from the MOL files
  // when it is missing or stale, with its progress on stderr). Throws
  // RuntimeError when the database cannot be read.
  ExactSearcher(const Workspace& ws, bool chiral);

  struct Outcome {
    std::string error;                     // RDKit's reason when it does not read the query
    std::vector<std::string> hits;         // record names (CP932), database order
    std::vector<std::string> unconfirmed;  // "name: reason" (UTF-8)
    std::vector<std::string> verdicts;     // with explain: "name<TAB>why" per record
    int64_t candidates = 0;
    size_t records = 0;
    std::string rdkitReason;  // when RDKit's matcher took the query
    bool stopped = false;
  };
  Outcome Search(chem::QueryForm form, const std::string& text, bool explain);

 private:
  bool chiral_;
  SoundState state_;
};

}  // namespace vuduzez::cli
