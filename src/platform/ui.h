// The system's modal conversations with the user: message boxes, the input box
// and the name confirmation. Core code talks only to this interface; the
// desktop program shows Qt dialogs, the CLI writes to stderr, tests record.
// All texts here are UTF-8.
#pragma once

#include <string>
#include <vector>

namespace vuduzez {

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box with one button.
  virtual void ShowMessage(const std::string& text) = 0;

  // Input box (caption, prompt, default): the entered text, or the default
  // when the user cancels.
  virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                               const std::string& defaultText) {
    (void)caption;
    (void)prompt;
    return defaultText;
  }

  // Shows the error text of a run-time error (the standard error box).
  virtual void ShowError(const std::string& text) { ShowMessage(text); }
};

// Records every message in order; input boxes answer from a queue (or give the
// default when it is empty). For tests and for collecting messages in the CLI.
class RecordingUi : public Ui {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& defaultText) override {
    inputs.push_back(caption + "|" + prompt + "|" + defaultText);
    if (answers.empty()) return defaultText;
    std::string a = answers.front();
    answers.erase(answers.begin());
    return a;
  }

  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::vector<std::string> inputs;
  std::vector<std::string> answers;
};

}  // namespace vuduzez
