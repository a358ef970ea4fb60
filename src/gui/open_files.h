// Files given to the desktop program on its command line (a file manager's
// "open with", the desktop entry's %F): a MOL file is searched for in the
// search window, as "MOLファイルを開く" does; an SD file is offered for
// registration in the registration window, as "SDファイルから登録" does.
#pragma once

#include <QStringList>

namespace vuduzez {

struct Forms;

// Opens the files in the program's windows: the first MOL file (by extension
// .mol, or by content when it is neither .mol nor .sdf/.sd) as the search
// window's query, then each SD file in the registration window. The menu
// hides while a working window is shown, as when its buttons are pressed.
// Nothing opens while the program's settings are not read.
void OpenGivenFiles(const Forms& forms, const QStringList& files);

}  // namespace vuduzez
