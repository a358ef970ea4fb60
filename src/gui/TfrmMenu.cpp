#include "gui/TfrmMenu.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "database/chains.h"
#include "database/settings.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "platform/errors.h"
#include "platform/message_sink.h"

namespace vuduzez {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(x, y, 217, 33);
  return b;
}

}  // namespace

TfrmMenu::TfrmMenu(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmMenu"));
  setWindowTitle(QStringLiteral("メニュー"));
  setFixedSize(281, 241);

  Button1 = MakeButton(this, "Button1", "部分構造検索", 32, 24);
  Button2 = MakeButton(this, "Button2", "検索用データの作成・登録", 32, 72);
  Button4 = MakeButton(this, "Button4", "検索用データの修正", 32, 120);
  Button3 = MakeButton(this, "Button3", "終了", 32, 176);
  Button4->hide();  // a maintenance command, hidden in the shipped layout

  Label1 = new QLabel(QStringLiteral("変換中"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(32, 156, 217, 16);
  Label1->setAlignment(Qt::AlignCenter);
  QPalette pal = Label1->palette();
  pal.setColor(QPalette::WindowText, Qt::red);
  Label1->setPalette(pal);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->hide();

  connect(Button1, &QPushButton::clicked, this, &TfrmMenu::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmMenu::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmMenu::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TfrmMenu::Button4Click);
}

void TfrmMenu::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window shown again by the window system (restored from an icon) is not
  // a new activation.
  if (!event->spontaneous()) FormActivate();
}

void TfrmMenu::FormActivate() {
  if (!firstActivation_) return;
  try {
    LoadSettings(com_data().settings);
    firstActivation_ = false;
  } catch (const std::exception& e) {
    // Tried again at the next activation.
    WindowUi().ShowError(e.what());
  }
}

void TfrmMenu::Button1Click() {
  if (forms().frmMain != nullptr) forms().frmMain->show();
  hide();
}

void TfrmMenu::Button2Click() {
  if (forms().frmTouroku != nullptr) forms().frmTouroku->show();
  hide();
}

void TfrmMenu::Button3Click() { close(); }

void TfrmMenu::WorkingWindowClosed() { show(); }

void TfrmMenu::Button4Click() {
  auto hideLabel = [this] {
    Label1->hide();
    Label1->repaint();
  };
  // The busy label goes before the closing message, as the rewrite has it.
  ForwardingSink ui(WindowUi());
  ui.beforeText = [&hideLabel](const std::string&) { hideLabel(); };
  Label1->show();
  Label1->repaint();
  try {
    RewriteChains(com_data().settings.mdatafilename, ui);
  } catch (const std::exception& e) {
    ui.ShowError(e.what());
  }
  hideLabel();
}

void TfrmMenu::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

}  // namespace vuduzez
