// Our own substructure matcher over perceived graphs (chem/sound_graph.h):
// whether a compiled query (chem/sound_query.h) maps into a record one to
// one, atom tests and bond tests as RDKit's SubstructMatch applies them with
// its default parameters. Backtracking in a fixed order planned once per
// query (rare, well-connected atoms first, then always a neighbour of an
// atom placed), with a step limit so that a pathological query gives up on a
// record instead of running for hours.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "chem/sound_graph.h"
#include "chem/sound_query.h"

namespace vuduzez {

enum class MatchOutcome { kMatch, kNoMatch, kGaveUp };

// Steps one record may take before the matcher gives up on it (a fraction
// of a second for the worst queries).
inline constexpr int64_t kMatchStepLimit = 5'000'000;

class SoundMatcher {
 public:
  explicit SoundMatcher(const chem::CompiledQuery& query);
  ~SoundMatcher();
  SoundMatcher(const SoundMatcher&) = delete;
  SoundMatcher& operator=(const SoundMatcher&) = delete;

  // mapping: the record atom of each query atom, for the first match found.
  MatchOutcome Match(const chem::GraphView& record, std::vector<int>* mapping = nullptr,
                     int64_t stepLimit = kMatchStepLimit) const;

  struct Plan;

 private:
  std::unique_ptr<Plan> plan_;
};

}  // namespace vuduzez
