#include "register/TfrmInpCode.h"

#include <QLabel>
#include <QPushButton>

namespace vuduzez {

TfrmInpCode::TfrmInpCode(QWidget* parent) : QDialog(parent) {
  setObjectName("frmInpCode");
  setWindowTitle(QStringLiteral("化合物名確認"));
  Label1 = new QLabel(QStringLiteral("化合物名"), this);
  Label1->setObjectName("Label1");
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label3 = new QLabel(QStringLiteral("でデータベースに登録します"), this);
  Label3->setObjectName("Label3");
  Button1 = new QPushButton(QStringLiteral("そのまま登録"), this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton(QStringLiteral("名前を変更"), this);
  Button2->setObjectName("Button2");
  connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
  connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
}

int TfrmInpCode::ShowModalWithName(const QString& name) {
  Label2->setText(name);
  const int result = exec();
  return result == 1 ? 1 : 2;
}

}  // namespace vuduzez
