// The windows' conversations with the user: the message sink of the core, and
// the questions only a window asks (the input box, the name confirmation, the
// file and folder choosers). The desktop program answers with Qt dialogs,
// tests from queues. All texts here are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/message_sink.h"

namespace vuduzez {

class Ui : public MessageSink {
 public:
  // Input box (caption, prompt, default): the entered text, nullopt when the
  // user cancels.
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& defaultText) {
    (void)caption;
    (void)prompt;
    (void)defaultText;
    return std::nullopt;
  }

  // A yes/no question; false when the user says no or closes it.
  virtual bool Confirm(const std::string& question) {
    (void)question;
    return false;
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

  // File-save dialog with a title, a filter as OpenFile takes it and a start
  // folder; nullopt when cancelled. Overwriting a file is confirmed there.
  virtual std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                              const std::string& startFolder) {
    (void)title;
    (void)filter;
    (void)startFolder;
    return std::nullopt;
  }

  // A question with a button per answer (buttons[0] the default): the index
  // of the button pressed, -1 when the box is closed without one.
  virtual int Choose(const std::string& question, const std::vector<std::string>& buttons) {
    (void)question;
    (void)buttons;
    return -1;
  }

  // The element to draw, chosen in the periodic table (current: the one drawn
  // now); nullopt when cancelled.
  virtual std::optional<std::string> ChooseElement(const std::string& current) {
    (void)current;
    return std::nullopt;
  }

  // Folder browser with a title ("Select Folder"); nullopt when cancelled.
  virtual std::optional<std::string> BrowseFolder(const std::string& title) {
    (void)title;
    return std::nullopt;
  }
};

}  // namespace vuduzez
