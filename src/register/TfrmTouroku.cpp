#include "register/TfrmTouroku.h"

namespace vuduzez {

TfrmTouroku::TfrmTouroku(QWidget* parent) : QWidget(parent) {
  setObjectName("frmTouroku");
  setWindowTitle(QStringLiteral("検索用データの作成・登録"));
}

}  // namespace vuduzez
