// vuduzez: the desktop program. Starts at the menu window, which finds
// vuduzez.ini in the current folder or in ~/.config/vuduzez (or offers to make
// a workspace); MOL and SD files named on the command line are then opened
// (gui/open_files.h).
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "gui/TfrmInpCode.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/open_files.h"
#include "gui/quit_signals_qt.h"
#include "gui/ui_qt.h"
#include "gui/window_ui.h"

int main(int argc, char** argv) {
  using namespace vuduzez;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vuduzez"));
  // The menu ends the program, even while a working window is open.
  QApplication::setQuitOnLastWindowClosed(false);
  SetupFonts();
  SetupJapaneseDialogs();

  QtUi ui;
  SetWindowUi(&ui);

  Forms& f = forms();
  TfrmMenu menu;
  f.frmMenu = &menu;
  TfrmMain search;
  f.frmMain = &search;
  TfrmTouroku touroku;
  f.frmTouroku = &touroku;
  TfrmInpCode inpCode;
  f.frmInpCode = &inpCode;

  ConnectForms(f);
  QObject::connect(&menu, &TfrmMenu::closed, &app, &QApplication::quit);
  CloseOnTerminationSignals(&menu);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = menu.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    menu.move(frame.topLeft());
  }
  QStringList files = QApplication::arguments();
  files.removeFirst();
  // Shown from inside the event loop: a box of its first activation (no
  // vuduzez.ini) then ends with the loop when a signal closes the menu,
  // instead of before the loop begins (which would run on regardless). The
  // files named are opened once the menu has read the settings.
  QTimer::singleShot(0, &menu, [&menu, &f, files] {
    if (!QuitRequested()) menu.show();
    if (!QuitRequested() && !files.isEmpty()) OpenGivenFiles(f, files);
  });
  const int rc = app.exec();

  // Nothing may talk through the Ui once the loop has ended.
  SetWindowUi(nullptr);
  f = Forms{};
  return rc;
}
