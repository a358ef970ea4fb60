#include "gui/quit_signals_qt.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <atomic>
#include <csignal>

namespace vuduzez {

namespace {

int signalPipe[2] = {-1, -1};
std::atomic<bool> quitRequested{false};

void OnTerminate(int) {
  quitRequested.store(true);
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

}  // namespace

void CloseOnTerminationSignals(QWidget* menu) {
  if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, menu);
  QObject::connect(notifier, &QSocketNotifier::activated, menu, [menu] {
    char c = 0;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &c, 1);
    menu->close();
    // A window under a modal box does not close, and quit() asks the windows
    // first: exit() ends every event loop all the same (each box open
    // returns, none opens any more).
    QCoreApplication::exit(0);
  });
  struct sigaction sa = {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

bool QuitRequested() { return quitRequested.load(); }

}  // namespace vuduzez
