// The system's modal conversations with the user: message boxes, the input box,
// the name confirmation, the file and folder choosers. Core code and the window
// handlers talk only to this interface; the desktop program shows Qt dialogs,
// the CLI writes to stderr, tests record and answer from queues.
// All texts here are UTF-8.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vuduzez {

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box with one button.
  virtual void ShowMessage(const std::string& text) = 0;

  // Shows the text of a run-time error (the standard error box).
  virtual void ShowError(const std::string& text) { ShowMessage(text); }

  // Input box (caption, prompt, default): the entered text, or the default
  // when the user cancels.
  virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                               const std::string& defaultText) {
    (void)caption;
    (void)prompt;
    return defaultText;
  }

  // The name confirmation dialog: 1 "そのまま登録", 2 "名前を変更" (closing it by
  // the frame also gives 2).
  virtual int ConfirmName(const std::string& name) {
    (void)name;
    return 1;
  }

  // File-open dialog. filter as the system writes it ("Txt|*.txt", or empty
  // for all files); nullopt when cancelled.
  virtual std::optional<std::string> OpenFile(const std::string& filter,
                                              const std::string& startFolder) {
    (void)filter;
    (void)startFolder;
    return std::nullopt;
  }

  // Folder browser with a title ("Select Folder"); nullopt when cancelled.
  virtual std::optional<std::string> BrowseFolder(const std::string& title) {
    (void)title;
    return std::nullopt;
  }

  // Shows that a long run is busy: done of total entries. Called after each
  // entry so the window can repaint; the default does nothing.
  virtual void Progress(int done, int total) {
    (void)done;
    (void)total;
  }
};

// Records every message in order and answers every question from a queue (or
// with the default / cancel when the queue is empty). For tests.
class RecordingUi : public Ui {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& defaultText) override {
    inputs.push_back(caption + "|" + prompt + "|" + defaultText);
    return Pop(inputAnswers).value_or(defaultText);
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
  std::optional<std::string> BrowseFolder(const std::string& title) override {
    inputs.push_back("BrowseFolder|" + title);
    return Pop(folderAnswers);
  }
  void Progress(int done, int total) override { progress.emplace_back(done, total); }

  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::vector<std::string> inputs;         // every question asked, in order
  std::vector<std::string> confirmations;  // names shown in the confirmation dialog
  std::vector<std::pair<int, int>> progress;
  // Answers; std::nullopt in a queue means "cancelled".
  std::deque<std::optional<std::string>> inputAnswers;
  std::deque<int> confirmAnswers;
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
