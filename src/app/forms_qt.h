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

// Makes the menu visible again (a working window's FormClose).
void ShowMenuAgain();

}  // namespace vuduzez
