// vuduzez-cli recompute [--keys]: the weight and formula lines of every record
// made again from its MOL file under the reader's present rules.
#include <algorithm>
#include <iostream>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "register/recompute.h"

namespace vuduzez::cli {

namespace {

// Progress on stderr, every tenth.
class RecomputeSink : public StderrSink {
 public:
  void Progress(int done, int total) override {
    if (done * 10 / total != last_) {
      last_ = done * 10 / total;
      std::cerr << "recompute: " << done * 100 / total << " %\n";
    }
  }

 private:
  int last_ = 0;
};

int RunRecompute(const std::vector<std::string>& args) {
  auto ws = OpenWorkspace("recompute", args, {"--keys"});
  if (!ws || !ws->args.empty()) return Usage("recompute");
  const bool keys = std::find(ws->flags.begin(), ws->flags.end(), "--keys") != ws->flags.end();
  if (ws->settings.basedir1.empty()) {
    std::cerr << "vuduzez-cli recompute: no MOL folder ([basedir1] in vuduzez.ini or --mol-dir)\n";
    return kExitUsage;
  }
  RecomputeSink progress;
  const RecomputeSummary s =
      RecomputeRecords(ws->settings.mdatafilename, ws->settings.basedir1, keys, progress);
  // What changed, one record a line: name, weight, formula (old -> new), key.
  for (const RecomputedRecord& r : s.changed) {
    std::cout << AnsiToUtf8(r.nameLine) << '\t' << r.oldWeight << " -> " << r.newWeight << '\t'
              << r.oldFormula << " -> " << r.newFormula;
    if (keys) std::cout << '\t' << (r.keyChanged ? "key changed" : "key unchanged");
    std::cout << '\n';
  }
  std::cout.flush();
  for (const KeptRecord& k : s.missing) {
    std::cerr << "missing: " << AnsiToUtf8(k.nameLine) << ": " << k.reason << '\n';
  }
  for (const KeptRecord& k : s.refused) {
    std::cerr << "refused: " << AnsiToUtf8(k.nameLine) << ": " << k.reason << '\n';
  }
  for (const KeptRecord& k : s.keyKept) {
    std::cerr << "key kept: " << AnsiToUtf8(k.nameLine) << ": " << k.reason << '\n';
  }
  std::cerr << s.records << " records: " << s.changed.size() << " changed, " << s.missing.size()
            << " without their MOL file and " << s.refused.size()
            << " whose MOL file is refused left as they were";
  if (keys) std::cerr << ", " << s.keyKept.size() << " keeping their key";
  std::cerr << '\n';
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"recompute",
     "recompute [--db FILE] [--mol-dir DIR] [--keys]   make the weight and formula lines (with "
     "--keys the key lines) of every record again from its MOL file",
     &RunRecompute});

}  // namespace

}  // namespace vuduzez::cli
