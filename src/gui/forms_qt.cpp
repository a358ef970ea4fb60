#include "gui/forms_qt.h"

#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"

namespace vuduzez {

Forms& forms() {
  static Forms instance;
  return instance;
}

void ConnectForms(const Forms& f) {
  if (f.frmMenu == nullptr) return;
  if (f.frmMain != nullptr) {
    QObject::connect(f.frmMain, &TfrmMain::closed, f.frmMenu, &TfrmMenu::WorkingWindowClosed,
                     Qt::UniqueConnection);
  }
  if (f.frmTouroku != nullptr) {
    QObject::connect(f.frmTouroku, &TfrmTouroku::closed, f.frmMenu, &TfrmMenu::WorkingWindowClosed,
                     Qt::UniqueConnection);
  }
}

}  // namespace vuduzez
