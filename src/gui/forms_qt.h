// The four windows of the desktop program, created once at start in this
// order and reachable from every window through one program-wide reference.
#pragma once

namespace vuduzez {

class TfrmMenu;
class TfrmMain;
class TfrmTouroku;
class TfrmInpCode;

struct Forms {
  TfrmMenu* frmMenu = nullptr;
  TfrmMain* frmMain = nullptr;
  TfrmTouroku* frmTouroku = nullptr;
  TfrmInpCode* frmInpCode = nullptr;
};

Forms& forms();

// Wires the windows together as program start does: closing a working window
// (search or registration) shows the menu again. The windows themselves know
// nothing of the menu. Safe to call again after a window is replaced.
void ConnectForms(const Forms& f);

}  // namespace vuduzez
