// The Ui that the windows of the desktop program talk through. The program
// installs its Qt dialogs at start; tests install a RecordingUi.
#pragma once

#include "gui/ui.h"

namespace vuduzez {

// The installed Ui; a silent default (messages dropped, questions cancelled)
// until one is installed.
Ui& WindowUi();
void SetWindowUi(Ui* ui);

}  // namespace vuduzez
