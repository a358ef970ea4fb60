#include "cli/cmd_search_similar.h"

#include "chem/similarity.h"
#include "cli/cli.h"
#include "cli/progress_sink.h"

namespace vuduzez::cli {

SimilarSearcher::SimilarSearcher(const Workspace& ws, const SimilarOptions& options)
    : options_(options) {
  ProgressSink progress("sound index: MOL files read");
  PrepareSimilarIndex(state_, sound_, ws.settings.mdatafilename, ws.settings.basedir1, progress);
}

SimilarSearcher::Outcome SimilarSearcher::Search(chem::QueryForm form, const std::string& text) {
  Outcome out;
  const chem::SimilarityQuery q = chem::SimilarityQueryOf(form, text);
  if (!q.ok) {
    out.error = q.error;
    return out;
  }
  const SimilarResult r = SimilarSearch(state_, q.print, options_);
  const SimilarIndex& ix = *state_.index;
  out.records = ix.size();
  out.compared = r.compared;
  out.unprinted = r.unprinted;
  for (const SimilarHit& h : r.hits) {
    out.hits.emplace_back(ix.Name(static_cast<size_t>(h.row)));
    out.scores.push_back(ScoreText(h.score));
  }
  return out;
}

}  // namespace vuduzez::cli
