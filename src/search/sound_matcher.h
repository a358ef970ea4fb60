// Our own substructure matcher over perceived graphs (chem/sound_graph.h):
// whether a compiled query (chem/sound_query.h) maps into a record one to
// one, atom tests and bond tests as RDKit's SubstructMatch applies them with
// its default parameters. Backtracking in a fixed order planned once per
// query (rare, well-connected atoms first, then always a neighbour of an
// atom placed), counting its steps against a MatchBudget (platform/) so that
// a pathological query gives up on a record instead of running for hours, and
// a stop is heard inside a long record.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "chem/sound_graph.h"
#include "chem/sound_query.h"
#include "platform/match_budget.h"

namespace vuduzez {

class SoundMatcher {
 public:
  explicit SoundMatcher(const chem::CompiledQuery& query);
  ~SoundMatcher();
  SoundMatcher(const SoundMatcher&) = delete;
  SoundMatcher& operator=(const SoundMatcher&) = delete;

  // mapping: the record atom of each query atom, for the first match found.
  // The record's steps count from 0 (budget.StartRecord); kGaveUp or
  // kStopped when the budget says so.
  MatchOutcome Match(const chem::GraphView& record, MatchBudget& budget,
                     std::vector<int>* mapping = nullptr) const;
  // The same with a budget of its own (the default steps, no stop).
  MatchOutcome Match(const chem::GraphView& record, std::vector<int>* mapping = nullptr) const;

  struct Plan;

 private:
  std::unique_ptr<Plan> plan_;
};

}  // namespace vuduzez
