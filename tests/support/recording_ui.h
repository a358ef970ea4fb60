// Test double of the windows' Ui: records every message like RecordingSink and
// answers every question from a queue (or with the default / cancel when the
// queue is empty).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "gui/ui.h"
#include "support/recording_sink.h"

namespace vuduzez {

class RecordingUi : public Recorder<Ui> {
 public:
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override {
    inputs.push_back(caption + "|" + prompt + "|" + defaultText);
    return Pop(inputAnswers);
  }
  bool Confirm(const std::string& question) override {
    questions.push_back(question);
    if (confirmYes.empty()) return false;
    const bool yes = confirmYes.front();
    confirmYes.pop_front();
    return yes;
  }
  int ConfirmName(const std::string& name) override {
    confirmations.push_back(name);
    if (confirmAnswers.empty()) return 2;
    int a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
  }
  std::optional<std::string> OpenFile(const std::string& filter,
                                      const std::string& startFolder) override {
    inputs.push_back("OpenFile|" + filter + "|" + startFolder);
    return Pop(fileAnswers);
  }
  std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                      const std::string& startFolder) override {
    inputs.push_back("SaveFile|" + title + "|" + filter + "|" + startFolder);
    return Pop(fileAnswers);
  }
  std::optional<std::string> BrowseFolder(const std::string& title) override {
    inputs.push_back("BrowseFolder|" + title);
    return Pop(folderAnswers);
  }

  int Choose(const std::string& question, const std::vector<std::string>& buttons) override {
    questions.push_back(question);
    (void)buttons;
    if (choiceAnswers.empty()) return -1;
    const int a = choiceAnswers.front();
    choiceAnswers.pop_front();
    return a;
  }

  std::optional<std::string> ChooseElement(const std::string& current) override {
    inputs.push_back("ChooseElement|" + current);
    return Pop(elementAnswers);
  }

  std::vector<std::string> inputs;         // every question asked, in order
  std::vector<std::string> confirmations;  // names shown in the confirmation dialog
  std::vector<std::string> questions;      // yes/no questions asked
  // Answers; std::nullopt in a queue means "cancelled".
  std::deque<std::optional<std::string>> inputAnswers;
  std::deque<int> confirmAnswers;
  std::deque<bool> confirmYes;                            // answers to Confirm; empty: "no"
  std::deque<int> choiceAnswers;                          // answers to Choose; empty: closed (-1)
  std::deque<std::optional<std::string>> elementAnswers;  // the periodic table's
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<std::optional<std::string>> folderAnswers;

 private:
  static std::optional<std::string> Pop(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto a = q.front();
    q.pop_front();
    return a;
  }
};

}  // namespace vuduzez
