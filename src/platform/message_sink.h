// How core code reports to the user: messages, run-time errors and the
// progress of long runs. The desktop program shows them in message boxes, the
// CLI writes them to stderr, tests record them. Questions to the user (input
// box, confirmation, file choosers) are not here: they belong to the windows.
// All texts are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace vuduzez {

class MessageSink {
 public:
  virtual ~MessageSink() = default;

  // A message with one button (modal in the windows).
  virtual void ShowMessage(const std::string& text) = 0;

  // The text of a run-time error (the standard error box).
  virtual void ShowError(const std::string& text) { ShowMessage(text); }

  // A long run is busy: done of total entries, after each entry.
  virtual void Progress(int done, int total) {
    (void)done;
    (void)total;
  }

  // Whether the user asked a long run to stop. Long runs ask between entries
  // and end early, keeping what they finished.
  virtual bool StopRequested() const { return false; }

  // A one-line notice that needs no answer (platform/notice.h): by default on
  // stderr, once per process.
  virtual void Notice(const std::string& text);
};

// Drops every message.
class SilentSink : public MessageSink {
 public:
  void ShowMessage(const std::string&) override {}
};

// Passes everything on to another sink: a prefix before every text (the name
// of the file it concerns), and hooks for what one caller needs in between,
// such as hiding a busy label before a message box opens.
class ForwardingSink : public MessageSink {
 public:
  explicit ForwardingSink(MessageSink& inner, std::string prefix = {})
      : prefix(std::move(prefix)), inner_(inner) {}

  void ShowMessage(const std::string& text) override {
    if (beforeText) beforeText(text);
    inner_.ShowMessage(prefix + text);
  }
  void ShowError(const std::string& text) override {
    if (beforeText) beforeText(text);
    inner_.ShowError(prefix + text);
  }
  void Progress(int done, int total) override {
    if (onProgress) onProgress(done, total);
    inner_.Progress(done, total);
  }
  bool StopRequested() const override {
    return (stopRequested && stopRequested()) || inner_.StopRequested();
  }
  void Notice(const std::string& text) override { inner_.Notice(text); }

  std::string prefix;
  // Called with each message or error text (without the prefix) before it is
  // passed on.
  std::function<void(const std::string&)> beforeText;
  // Called with each progress report before it is passed on.
  std::function<void(int, int)> onProgress;
  // Asked first whether to stop (the inner sink is asked too).
  std::function<bool()> stopRequested;

 protected:
  MessageSink& inner_;
};

}  // namespace vuduzez
