// vuduzez-cli search --exact: the query (MOL file, --smiles, --smarts) as
// RDKit reads it, matched against every record's MOL file through the sound
// index (search/sound_search.h); --chiral matches stereo too. Hits on
// stdout in database order, counts on stderr.
#include "cli/cmd_search_exact.h"

#include <unistd.h>

#include <chrono>
#include <iostream>

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "search/hit_export.h"
#include "search/sound_search.h"

namespace vuduzez::cli {

namespace {

// Progress of making the index and of confirming, on stderr: a line now and
// then (a line redrawn in place on a terminal).
class ProgressSink : public StderrSink {
 public:
  explicit ProgressSink(const char* what) : what_(what), terminal_(::isatty(2) == 1) {}
  ~ProgressSink() override {
    if (drawn_) std::cerr << '\n';
  }
  void Progress(int done, int total) override {
    if (total < 2000) return;
    const auto now = std::chrono::steady_clock::now();
    if (done != total && now - last_ < std::chrono::seconds(terminal_ ? 0 : 5)) return;
    last_ = now;
    if (terminal_) {
      std::cerr << '\r' << what_ << ": " << done << " / " << total << std::flush;
      drawn_ = true;
    } else {
      std::cerr << what_ << ": " << done << " of " << total << '\n';
    }
  }

 private:
  const char* what_;
  bool terminal_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace

int RunExactSearch(const Workspace& ws, const std::string& queryArg, chem::QueryForm form,
                   HitFormat format, bool explain, bool chiral) {
  std::string text = queryArg;
  if (form == chem::QueryForm::kMolText) {
    if (!IsRegularFile(queryArg)) {
      std::cerr << queryArg << ": " << kFileNotFound << '\n';
      return kExitFailed;
    }
    text = ReadFileBytes(queryArg);
  }
  const chem::QueryResult q = chem::CompileQuery(form, text, chiral);
  if (!q.query) {
    std::cerr << queryArg << ": " << QueryNotReadMessage(q.error) << '\n';
    return kExitFailed;
  }
  SoundState state;
  {
    ProgressSink progress("sound index: MOL files read");
    PrepareSoundIndex(state, ws.settings.mdatafilename, ws.settings.basedir1, progress);
  }
  SoundResult result;
  {
    ProgressSink progress("records confirmed");
    result = SoundSearch(state, *q.query, progress);
  }
  const SoundIndex& ix = *state.index;
  std::vector<std::string> hitnames;
  hitnames.reserve(result.rows.size());
  for (int32_t r : result.rows) hitnames.emplace_back(ix.Name(static_cast<size_t>(r)));

  int unwritten = 0;
  if (explain) {
    // Why each record is a hit or not.
    std::vector<std::string> why(ix.size(), "screened out");
    std::vector<uint8_t> candidate(ix.size(), 0);
    for (int32_t r : result.rows) why[static_cast<size_t>(r)] = "hit";
    for (const auto& u : result.unconfirmed)
      why[static_cast<size_t>(u.row)] = "unconfirmed: " + u.reason;
    std::vector<uint32_t> screened;
    ix.Screen(q.query->fingerprint, 0, ix.size(), screened);
    for (uint32_t r : screened) {
      if (why[r] == "screened out") why[r] = kNoAtomMatch;
    }
    for (size_t r = 0; r < ix.size(); ++r) {
      std::cout << AnsiToUtf8(std::string(ix.Name(r))) << '\t' << why[r] << '\n';
    }
  } else {
    unwritten = WriteHits(std::cout, format, hitnames, ws.settings.basedir1,
                          [](const std::string& m) { std::cerr << m << '\n'; });
    for (const std::string& line : UnconfirmedLines(state, result)) {
      std::cerr << "unconfirmed: " << line << '\n';
    }
  }
  std::cout.flush();
  std::cerr << result.rows.size() << " hits of " << ix.size() << " records (" << result.candidates
            << " screened, " << result.unconfirmed.size() << " unconfirmed)";
  if (!q.query->ownMatcher) std::cerr << "; matched by RDKit: " << q.query->rdkitReason;
  std::cerr << '\n';
  if (result.rows.empty()) std::cerr << kNoMatch << '\n';
  return unwritten == 0 ? kExitOk : kExitFailed;
}

}  // namespace vuduzez::cli
