// Progress of a long run of vuduzez-cli on stderr.
#pragma once

#include <unistd.h>

#include <chrono>
#include <iostream>

#include "cli/cli.h"

namespace vuduzez::cli {

// Progress of making the index and of confirming, on stderr: a line now and
// then (one line redrawn in place on a terminal).
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

}  // namespace vuduzez::cli
