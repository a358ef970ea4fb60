// Progress of a long step of a command (making the sound index, confirming
// hits), on stderr: a line now and then (one line redrawn in place on a
// terminal).
#pragma once

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "platform/errors.h"
#include "search/sound_search.h"

namespace vuduzez::cli {

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

// The sound index of the workspace's database for its MOL folder, made or
// brought up to date with its progress on stderr, for the commands that
// compare structures with the registered ones; false (and the state left
// unready) when there is no MOL folder or the database cannot be read (the
// command then says so itself).
inline bool PrepareRegistered(SoundState& state, const Workspace& ws) {
  if (ws.settings.basedir1.empty()) return false;
  ProgressSink progress("sound index: MOL files read");
  try {
    return PrepareSoundIndex(state, ws.settings.mdatafilename, ws.settings.basedir1, progress);
  } catch (const RuntimeError&) {
    return false;
  }
}

}  // namespace vuduzez::cli
