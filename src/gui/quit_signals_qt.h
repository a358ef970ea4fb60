// SIGTERM and SIGINT end the desktop program as closing the menu does,
// whatever runs at the time: a message box (its loop ends with the program's),
// or a long confirmation of search hits, which asks QuitRequested as it goes
// and stops.
#pragma once

class QWidget;

namespace vuduzez {

// From now on the two signals close menu (through the event loop: nothing is
// done in the signal handler but a write to a socket).
void CloseOnTerminationSignals(QWidget* menu);

// Whether one of the signals came.
bool QuitRequested();

}  // namespace vuduzez
