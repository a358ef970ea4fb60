// Test doubles of the message sink: every message, error and progress report
// recorded in order, so that a test can assert the exact texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/message_sink.h"

namespace vuduzez {

// Records into public lists; Base is MessageSink or an interface built on it.
template <typename Base>
class Recorder : public Base {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void Progress(int done, int total) override { progress.emplace_back(done, total); }
  bool StopRequested() const override { return stopRequested; }
  void Notice(const std::string& text) override { notices.push_back(text); }

  std::vector<std::string> messages;
  std::vector<std::string> notices;
  std::vector<std::string> errors;
  std::vector<std::pair<int, int>> progress;
  bool stopRequested = false;  // what StopRequested answers
};

using RecordingSink = Recorder<MessageSink>;

}  // namespace vuduzez
