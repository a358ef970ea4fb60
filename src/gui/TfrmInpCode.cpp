#include "gui/TfrmInpCode.h"

#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vuduzez {

TfrmInpCode::TfrmInpCode(QWidget* parent) : QDialog(parent) {
  setObjectName("frmInpCode");
  setWindowTitle(QStringLiteral("化合物名確認"));
  setModal(true);

  Label1 = new QLabel(QStringLiteral("化合物名"), this);
  Label1->setObjectName("Label1");
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  QFont big = Label2->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  Label2->setFont(big);
  QPalette blue = Label2->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  Label2->setPalette(blue);
  Label2->setTextFormat(Qt::PlainText);
  Label3 = new QLabel(QStringLiteral("でデータベースに登録します"), this);
  Label3->setObjectName("Label3");
  Button1 = new QPushButton(QStringLiteral("そのまま登録(&R)"), this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("名前を変更(&C)"), this);
  Button2->setObjectName("Button2");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(Label2);
  layout->addWidget(Label3);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  setMinimumWidth(360);

  connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
  connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
}

int TfrmInpCode::ShowModalWithName(const QString& name) {
  Label2->setText(name);
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  // Closing by the frame or Escape rejects (0): the caller treats it like 2.
  return exec() == 1 ? 1 : 2;
}

}  // namespace vuduzez
