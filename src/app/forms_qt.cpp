#include "app/forms_qt.h"

#include "app/TfrmMenu.h"

namespace vuduzez {

Forms& forms() {
  static Forms instance;
  return instance;
}

void ShowMenuAgain() {
  if (forms().frmMenu != nullptr) forms().frmMenu->show();
}

}  // namespace vuduzez
