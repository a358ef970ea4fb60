// vuduzez: the desktop program. Starts at the menu window, which finds
// vuduzez.ini in the current folder or in ~/.config/vuduzez (or offers to make
// a workspace); MOL and SD files named on the command line are then opened
// (gui/open_files.h).
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>

#include "gui/TfrmInpCode.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/open_files.h"
#include "gui/ui_qt.h"
#include "gui/window_ui.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the menu, so the program ends as when the user
// closes it, not in the middle of a file operation.
void CloseMenuOnSignals(vuduzez::TfrmMenu* menu) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, menu);
  QObject::connect(notifier, &QSocketNotifier::activated, menu, [menu] {
    char c = 0;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &c, 1);
    menu->close();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

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
  CloseMenuOnSignals(&menu);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = menu.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    menu.move(frame.topLeft());
  }
  menu.show();
  QStringList files = QApplication::arguments();
  files.removeFirst();
  if (!files.isEmpty()) {
    // Once the menu has read the settings and the event loop runs.
    QTimer::singleShot(0, &menu, [&f, files] { OpenGivenFiles(f, files); });
  }
  const int rc = app.exec();

  // Nothing may talk through the Ui once the loop has ended.
  SetWindowUi(nullptr);
  f = Forms{};
  return rc;
}
