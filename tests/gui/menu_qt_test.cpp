// The menu window: settings read at the first activation (and again after a
// failure), switching to the working windows and back, the hidden chain
// rewrite, and closing.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "gui/TfrmInpCode.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/recording_ui.h"

using namespace vuduzez;

class MenuTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir root_;
  std::string dir_;
  RecordingUi ui_;
  TfrmMenu* menu_ = nullptr;

  QPushButton* Button(const char* name) {
    auto* b = menu_->findChild<QPushButton*>(QString::fromLatin1(name));
    if (b == nullptr) qFatal("no button %s", name);
    return b;
  }
  void Reactivate() {
    menu_->hide();
    menu_->show();
  }
  void WriteIni(const std::string& db) {
    WriteFileBytes(dir_ + "/vuduzez.ini",
                   "[basedir1]\r\n" + dir_ + "/mol\r\n[mdatafilename]\r\n  " + db + "  \r\n");
  }

 private slots:
  void initTestCase() {
    dir_ = root_.path().toStdString();
    QDir::setCurrent(root_.path());
    qputenv("TMP", QByteArray::fromStdString(dir_));
    // No vuduzez.ini of the user's is ever found: home and config are the test's.
    qputenv("HOME", QByteArray::fromStdString(dir_ + "/home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_ + "/home/config"));
    qunsetenv("XDG_DATA_HOME");
    SetWindowUi(&ui_);
    // The program's order of creation.
    forms().frmMenu = menu_ = new TfrmMenu;
    forms().frmMain = new TfrmMain;
    forms().frmTouroku = new TfrmTouroku;
    forms().frmInpCode = new TfrmInpCode;
    ConnectForms(forms());  // as program start wires them
  }

  void cleanupTestCase() {
    delete forms().frmInpCode;
    delete forms().frmTouroku;
    delete forms().frmMain;
    delete menu_;
    forms() = Forms{};
    SetWindowUi(nullptr);
  }

  void captions() {
    QCOMPARE(menu_->windowTitle(), QStringLiteral("メニュー"));
    QCOMPARE(Button("Button1")->text(), QStringLiteral("部分構造検索(&S)"));
    QCOMPARE(Button("Button2")->text(), QStringLiteral("検索用データの作成・登録(&R)"));
    QCOMPARE(Button("Button3")->text(), QStringLiteral("終了(&X)"));
    QCOMPARE(Button("Button4")->text(), QStringLiteral("検索用データの修正(&M)"));
    auto* label = menu_->findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QStringLiteral("変換中"));
    menu_->show();
    QVERIFY(Button("Button1")->isVisible());
    QVERIFY(!Button("Button4")->isVisible());
    QVERIFY(!label->isVisible());
    menu_->hide();
  }

  // Runs first with no vuduzez.ini in the folder.
  void settingsReadOnceAndRetriedAfterAFailure() {
    ui_ = RecordingUi();
    com_data().settings = Settings{};
    menu_->show();
    QCOMPARE(ui_.errors.size(), size_t(1));
    QVERIFY(ui_.errors[0].find("ファイルが見つかりません") != std::string::npos);
    QVERIFY(menu_->FirstActivation());
    QCOMPARE(com_data().settings.mdatafilename, std::string());

    WriteIni(dir_ + "/db.txt");
    Reactivate();
    QVERIFY(!menu_->FirstActivation());
    QCOMPARE(com_data().settings.mdatafilename, dir_ + "/db.txt");
    QCOMPARE(com_data().settings.basedir1, dir_ + "/mol");
    QCOMPARE(com_data().settings.basedir2, std::string());
    QCOMPARE(ui_.errors.size(), size_t(1));

    // Later activations read nothing.
    WriteIni(dir_ + "/other.txt");
    Reactivate();
    QCOMPARE(com_data().settings.mdatafilename, dir_ + "/db.txt");
    QVERIFY(menu_->isVisible());
  }

  // A first start with an empty home and no vuduzez.ini: the workspace is
  // made in the XDG folders, and the next start finds it there.
  void firstStartMakesAWorkspace() {
    const Settings before = com_data().settings;
    const std::string home = dir_ + "/first";
    QDir().mkpath(QString::fromStdString(home + "/cwd"));
    QDir::setCurrent(QString::fromStdString(home + "/cwd"));
    qputenv("HOME", QByteArray::fromStdString(home));
    qunsetenv("XDG_CONFIG_HOME");
    ui_ = RecordingUi();
    ui_.choiceAnswers = {0};  // "新しく作成"
    {
      TfrmMenu first;
      first.show();
      QVERIFY(!first.FirstActivation());
      QCOMPARE(ui_.questions.size(), size_t(1));
      QVERIFY(ui_.questions[0].find(home + "/cwd") != std::string::npos);
      QVERIFY(ui_.questions[0].find(home + "/.config/vuduzez") != std::string::npos);
    }
    const Settings made = com_data().settings;
    QCOMPARE(made.mdatafilename, home + "/.local/share/vuduzez/compounds.txt");
    QCOMPARE(made.basedir1, home + "/.local/share/vuduzez/mol");
    QVERIFY(QFileInfo(QString::fromStdString(made.basedir1)).isDir());
    QCOMPARE(ReadFileBytes(made.mdatafilename), std::string());
    const std::string ini = ReadFileBytes(home + "/.config/vuduzez/vuduzez.ini");
    QVERIFY(ini.find("[mdatafilename]\r\n" + made.mdatafilename + "\r\n") != std::string::npos);

    // Found at the next start from another folder; nothing asked, nothing written.
    QDir().mkpath(QString::fromStdString(home + "/elsewhere"));
    QDir::setCurrent(QString::fromStdString(home + "/elsewhere"));
    com_data().settings = Settings{};
    ui_ = RecordingUi();
    {
      TfrmMenu second;
      second.show();
      QVERIFY(!second.FirstActivation());
    }
    QVERIFY(ui_.questions.empty());
    QCOMPARE(com_data().settings.mdatafilename, made.mdatafilename);
    QCOMPARE(ReadFileBytes(home + "/.config/vuduzez/vuduzez.ini"), ini);
    QDir::setCurrent(root_.path());
    qputenv("HOME", QByteArray::fromStdString(dir_ + "/home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_ + "/home/config"));
    com_data().settings = before;
  }

  void workingWindowsAndBack() {
    WriteFileBytes(dir_ + "/db.txt", "");
    ui_ = RecordingUi();
    menu_->show();
    Button("Button1")->click();
    QVERIFY(forms().frmMain->isVisible());
    QVERIFY(!menu_->isVisible());
    forms().frmMain->close();
    QVERIFY(!forms().frmMain->isVisible());
    QVERIFY(menu_->isVisible());

    Button("Button2")->click();
    QVERIFY(forms().frmTouroku->isVisible());
    QVERIFY(!menu_->isVisible());
    forms().frmTouroku->close();
    QVERIFY(!forms().frmTouroku->isVisible());
    QVERIFY(menu_->isVisible());
    QVERIFY(ui_.errors.empty());
  }

  void chainRewrite() {
    const std::string db = dir_ + "/db.txt";
    WriteFileBytes(db, "hexane.mol\r\n86.18\r\nC6H14\r\nC-C-C-C-C-C\r\n");
    ui_ = RecordingUi();
    auto* label = menu_->findChild<QLabel*>(QStringLiteral("Label1"));
    // The label is up while the rewrite runs and down before its message.
    bool shownDuringRun = false;
    struct Watch : RecordingUi {
      QLabel* label;
      bool* seen;
      void ShowMessage(const std::string& text) override {
        *seen = label->isVisible();
        RecordingUi::ShowMessage(text);
      }
    } watch;
    watch.label = label;
    watch.seen = &shownDuringRun;
    SetWindowUi(&watch);
    menu_->Button4Click();
    SetWindowUi(&ui_);
    QCOMPARE(watch.messages, std::vector<std::string>{"変換をを終了しました"});
    QVERIFY(!shownDuringRun);
    QVERIFY(!label->isVisible());
    QCOMPARE(ReadFileBytes(db), std::string("hexane.mol\r\n86.18\r\nC6H14\r\nY5C\r\n"));

    // A database that cannot be read: the error, the label hidden again.
    com_data().settings.mdatafilename = dir_ + "/missing.txt";
    menu_->Button4Click();
    QCOMPARE(ui_.errors.size(), size_t(1));
    QVERIFY(!label->isVisible());
    com_data().settings.mdatafilename = db;
  }

  // Last: the program ends when the menu closes, whatever else is open.
  void closingTheMenuEndsTheProgram() {
    QSignalSpy spy(menu_, &TfrmMenu::closed);
    menu_->show();
    forms().frmMain->show();
    Button("Button3")->click();
    QCOMPARE(spy.count(), 1);
    QVERIFY(!menu_->isVisible());
    forms().frmMain->hide();
  }
};

QTEST_MAIN(MenuTest)
#include "menu_qt_test.moc"
