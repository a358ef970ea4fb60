// The exact and similarity searches' readers of cached bytes on arbitrary
// input: an index payload (sound or similarity) must be refused unless
// whole, and whatever it accepts must be usable (the similarity index sorted
// from an accepted sound index, and searched); a packed graph must be refused
// unless its counts and indices hold, and the matcher must run on any graph
// accepted.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chem/sound_graph.h"
#include "chem/sound_query.h"
#include "database/sound_index.h"
#include "search/similar_search.h"
#include "search/sound_matcher.h"

namespace {

struct Queries {
  std::vector<std::shared_ptr<const vuduzez::chem::SoundQuery>> compiled;
  std::vector<std::unique_ptr<vuduzez::SoundMatcher>> matchers;
  Queries() {
    using vuduzez::chem::QueryForm;
    for (const auto& [form, text] :
         std::vector<std::pair<QueryForm, const char*>>{{QueryForm::kSmiles, "c1ccccc1O"},
                                                        {QueryForm::kSmarts, "[$(C=O)][R2;+0]~*"},
                                                        {QueryForm::kSmiles, "CC.CC.CC"}}) {
      compiled.push_back(vuduzez::chem::CompileQuery(form, text).query);
      matchers.push_back(std::make_unique<vuduzez::SoundMatcher>(compiled.back()->compiled));
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Queries queries;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  vuduzez::chem::GraphView graph;
  if (graph.Parse(input)) {
    for (const auto& m : queries.matchers) {
      vuduzez::MatchBudget budget(100000);
      (void)m->Match(graph, budget);
    }
    (void)vuduzez::chem::RecordFingerprint(graph);
  }
  auto bytes = std::make_shared<const std::string>(input);
  const vuduzez::chem::SimilarityPrint query = {1, 80, 222, 294, 807, 1057, 1410, 2047};
  if (const auto similar = vuduzez::SimilarIndex::Open(bytes, *bytes)) {
    (void)vuduzez::RankSimilar(*similar, query, 0.3, 0, 1);
    (void)vuduzez::RankSimilar(*similar, query, 0.0, 5, 1);
    for (size_t r = 0; r < similar->size() && r < 64; ++r) (void)similar->Name(r);
  }
  const auto index = vuduzez::SoundIndex::Open(bytes, *bytes);
  if (!index) return 0;
  {
    auto sorted = std::make_shared<const std::string>(vuduzez::SimilarPayload(*index).Join());
    const auto similar = vuduzez::SimilarIndex::Open(sorted, *sorted);
    if (!similar) __builtin_trap();  // sorted from an accepted index: always whole
    (void)vuduzez::RankSimilar(*similar, query, 0.0, 3, 1);
  }
  std::vector<uint32_t> hits;
  index->Screen(queries.compiled[0]->fingerprint, 0, index->size(), hits);
  for (size_t r = 0; r < index->size() && r < 64; ++r) {
    (void)index->Name(r);
    (void)index->Stamp(r);
    vuduzez::chem::GraphView g;
    if (g.Parse(index->Graph(r))) (void)queries.matchers[0]->Match(g);
  }
  return 0;
}
