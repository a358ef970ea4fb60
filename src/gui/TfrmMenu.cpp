#include "gui/TfrmMenu.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cstdlib>

#include "database/chains.h"
#include "database/settings.h"
#include "database/workspace.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "platform/errors.h"
#include "platform/message_sink.h"

namespace vuduzez {

namespace {

// A caption with its keyboard accelerator (Alt+key), shown as "(&K)".
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, char key) {
  auto* b = new QPushButton(QString::fromUtf8(caption) + QStringLiteral("(&%1)").arg(key), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setMinimumSize(217, 33);
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  return b;
}

}  // namespace

TfrmMenu::TfrmMenu(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmMenu"));
  setWindowTitle(QStringLiteral("メニュー"));

  Button1 = MakeButton(this, "Button1", "部分構造検索", 'S');
  Button2 = MakeButton(this, "Button2", "検索用データの作成・登録", 'R');
  Button4 = MakeButton(this, "Button4", "検索用データの修正", 'M');
  Button3 = MakeButton(this, "Button3", "終了", 'X');
  Button4->hide();  // a maintenance command, hidden in the shipped layout

  Label1 = new QLabel(QStringLiteral("変換中"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  QPalette pal = Label1->palette();
  pal.setColor(QPalette::WindowText, Qt::red);
  Label1->setPalette(pal);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->hide();
  QSizePolicy keepPlace = Label1->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  Label1->setSizePolicy(keepPlace);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(32, 24, 32, 24);
  column->setSpacing(15);
  column->addWidget(Button1);
  column->addWidget(Button2);
  column->addWidget(Button4);
  column->addWidget(Label1);
  column->addWidget(Button3);
  resize(281, 241);

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
    const SettingsLookup lookup = FindSettingsFile();
    if (lookup.found) {
      LoadSettingsFile(com_data().settings, *lookup.found);
      firstActivation_ = false;
    } else {
      FirstStart(lookup);
    }
  } catch (const std::exception& e) {
    // Tried again at the next activation.
    WindowUi().ShowError(e.what());
  }
}

void TfrmMenu::FirstStart(const SettingsLookup& lookup) {
  Ui& ui = WindowUi();
  const std::optional<WorkspacePlan> plan = DefaultWorkspacePlan();
  const std::string folders = LookedInText(lookup);
  const int choice =
      ui.Choose(FirstStartQuestion(folders, plan ? plan->dataFolder : std::string("?")),
                {kCreateWorkspaceButton, kChooseIniButton, kQuitButton});
  switch (choice) {
    case 0: {
      if (!plan) {
        ui.ShowMessage(kNoHomeFolder);
        return;
      }
      com_data().settings = CreateWorkspace(*plan);
      firstActivation_ = false;
      const Settings& s = com_data().settings;
      ui.ShowMessage(WorkspaceCreatedMessage(s.mdatafilename, s.basedir1, plan->iniPath));
      return;
    }
    case 1: {
      const char* home = std::getenv("HOME");
      const auto ini = ui.OpenFile(kIniFileFilter, home != nullptr ? home : "");
      if (!ini) return;  // asked again at the next activation
      LoadSettingsFile(com_data().settings, *ini);
      firstActivation_ = false;
      return;
    }
    case 2:
      // Closed from the event loop, once this activation has ended.
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      return;
    default:
      // Dismissed: the program cannot work yet; it says why and asks again
      // at the next activation.
      ui.ShowError(SettingsNotFoundMessage(folders));
      return;
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
