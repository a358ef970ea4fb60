#include "gui/window_ui.h"

namespace vuduzez {

namespace {

class SilentUi : public Ui {
 public:
  void ShowMessage(const std::string&) override {}
};

Ui* installed = nullptr;

}  // namespace

Ui& WindowUi() {
  static SilentUi silent;
  return installed != nullptr ? *installed : silent;
}

void SetWindowUi(Ui* ui) { installed = ui; }

}  // namespace vuduzez
