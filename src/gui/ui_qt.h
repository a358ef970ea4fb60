// The desktop program's message interface: Qt message boxes, the input box,
// the file and folder choosers, and the name confirmation dialog.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "gui/ui.h"
#include "platform/messages.h"

class QWidget;

namespace vuduzez {

class QtUi : public Ui {
 public:
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override;
  bool Confirm(const std::string& question) override;
  int ConfirmName(const std::string& name) override;
  std::optional<std::string> OpenFile(const std::string& filter,
                                      const std::string& startFolder) override;
  std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                      const std::string& startFolder) override;
  std::optional<std::string> BrowseFolder(const std::string& title) override;
  int Choose(const std::string& question, const std::vector<std::string>& buttons) override;
  std::optional<std::string> ChooseElement(const std::string& current) override;
  // The windows repaint their own progress labels.
  void Progress(int, int) override {}

 private:
  static QWidget* Owner();
};

// A filter as the system writes it ("Txt|*.txt", pairs of description and
// patterns separated by "|", patterns by ";") in Qt's form ("Txt (*.txt)",
// pairs separated by ";;"). An empty filter lists all files.
QString QtFileFilter(const std::string& filter);

// The window fonts: "ＭＳ Ｐゴシック" drawn with IPAPGothic and "Arial" with
// Liberation Sans, and "ＭＳ Ｐゴシック" 9 pt as the application font.
void SetupFonts();

// Japanese standard dialogs and buttons: Qt's own translations (qtbase_ja.qm
// from the Qt translations folder) and Qt's own dialogs rather than the
// desktop's, which follow the desktop's language. The program's own English
// texts ("Select Folder", "no file name was found") stay. Returns whether the
// translations were found.
bool SetupJapaneseDialogs();

// Name of the window font.
inline constexpr const char* kWindowFontFace = "ＭＳ Ｐゴシック";

}  // namespace vuduzez
