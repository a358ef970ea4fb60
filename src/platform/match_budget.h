// The bounds of an atom-by-atom match, the same for every matcher (here, so
// that a matcher of any layer counts against it): how many steps one record
// may take before it is given up (and reported unconfirmed, never as a hit or
// a miss), and the stop of the whole search, asked every so many steps so
// that a long record is stopped too.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace vuduzez {

enum class MatchOutcome : uint8_t {
  kNoMatch,
  kMatch,
  kGaveUp,   // the record's steps ran out: neither a hit nor a miss
  kStopped,  // the search was asked to stop
};

// Steps one record may take: VUDUZEZ_MATCH_STEPS when set to a positive
// number, else a million (a few milliseconds of matching).
uint64_t DefaultMatchSteps();

class MatchBudget {
 public:
  // stop is asked every kStopEvery steps (and may be empty).
  explicit MatchBudget(uint64_t stepsPerRecord = DefaultMatchSteps(),
                       std::function<bool()> stop = {})
      : limit_(stepsPerRecord), stop_(std::move(stop)) {}

  // A new record: its steps count from 0.
  void StartRecord() {
    steps_ = 0;
    spent_ = MatchOutcome::kNoMatch;
  }

  // Counts one step (one candidate tried); false once the record's steps
  // are spent or the search is to stop (Spent says which).
  bool Step() {
    if (++steps_ > limit_) {
      spent_ = MatchOutcome::kGaveUp;
      return false;
    }
    if ((steps_ & (kStopEvery - 1)) == 0 && stop_ && stop_()) {
      spent_ = MatchOutcome::kStopped;
      stopped_ = true;
      return false;
    }
    return true;
  }

  // kGaveUp or kStopped after Step said false.
  MatchOutcome Spent() const { return spent_; }
  // Whether the search was asked to stop (it stays so).
  bool Stopped() const { return stopped_; }
  uint64_t Steps() const { return steps_; }

  static constexpr uint64_t kStopEvery = 4096;

 private:
  uint64_t limit_;
  std::function<bool()> stop_;
  uint64_t steps_ = 0;
  MatchOutcome spent_ = MatchOutcome::kNoMatch;
  bool stopped_ = false;
};

}  // namespace vuduzez
