#include "cli/cmd_search_exact.h"

#include <iostream>

#include "cli/cli.h"
#include "cli/progress.h"
#include "platform/encoding.h"
#include "platform/messages.h"

namespace vuduzez::cli {

ExactSearcher::ExactSearcher(const Workspace& ws, bool chiral) : chiral_(chiral) {
  ProgressSink progress("sound index: MOL files read");
  PrepareSoundIndex(state_, ws.settings.mdatafilename, ws.settings.basedir1, progress);
}

ExactSearcher::Outcome ExactSearcher::Search(chem::QueryForm form, const std::string& text,
                                             bool explain) {
  Outcome out;
  // A SMILES line may name its structure after a blank.
  std::string query = text;
  if (form != chem::QueryForm::kMolText) query = query.substr(0, query.find_first_of(" \t"));
  const chem::QueryResult q = chem::CompileQuery(form, query, chiral_);
  if (!q.query) {
    out.error = q.error;
    return out;
  }
  SoundResult r;
  {
    ProgressSink progress("records confirmed");
    r = SoundSearch(state_, *q.query, progress);
  }
  const SoundIndex& ix = *state_.index;
  out.records = ix.size();
  out.candidates = r.candidates;
  out.stopped = r.stopped;
  if (!q.query->ownMatcher) out.rdkitReason = q.query->rdkitReason;
  for (int32_t row : r.rows) out.hits.emplace_back(ix.Name(static_cast<size_t>(row)));
  out.unconfirmed = UnconfirmedLines(state_, r);
  if (explain) {
    // Why each record is a hit or not.
    std::vector<std::string> why(ix.size(), "screened out");
    std::vector<uint32_t> screened;
    ix.Screen(q.query->fingerprint, 0, ix.size(), screened);
    for (uint32_t row : screened) why[row] = kNoAtomMatch;
    for (int32_t row : r.rows) why[static_cast<size_t>(row)] = "hit";
    for (const auto& u : r.unconfirmed) {
      why[static_cast<size_t>(u.row)] = "unconfirmed: " + u.reason;
    }
    for (size_t row = 0; row < ix.size(); ++row) {
      out.verdicts.push_back(AnsiToUtf8(std::string(ix.Name(row))) + '\t' + why[row]);
    }
  }
  return out;
}

}  // namespace vuduzez::cli
