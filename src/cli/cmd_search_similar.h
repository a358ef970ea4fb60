// The similarity search of `vuduzez-cli search --similar`: each query's
// similarity print beside every record's, through the similarity index
// (search/similar_search.h), the hits ranked with their scores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chem/sound_query.h"
#include "cli/workspace.h"
#include "search/similar_search.h"

namespace vuduzez::cli {

class SimilarSearcher {
 public:
  // Prepares the index of the workspace's database (sorted from the sound
  // index, itself made from the MOL files when it is missing or stale, with
  // its progress on stderr). Throws RuntimeError when the database cannot
  // be read.
  SimilarSearcher(const Workspace& ws, const SimilarOptions& options);

  struct Outcome {
    std::string error;                // why the query was not read
    std::vector<std::string> hits;    // record names (CP932), ranked
    std::vector<std::string> scores;  // each hit's score (ScoreText)
    size_t records = 0;
    int64_t compared = 0;
    int64_t unprinted = 0;
  };
  Outcome Search(chem::QueryForm form, const std::string& text);

 private:
  SimilarOptions options_;
  SoundState sound_;
  SimilarState state_;
};

}  // namespace vuduzez::cli
