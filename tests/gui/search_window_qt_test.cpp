// The search window driven as a user would: structure on the clipboard, a
// dropped or chosen MOL file, paging through the hits, another database file
// or MOL folder. Messages are recorded, never shown.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/canvas_qt.h"
#include "gui/forms_qt.h"
#include "gui/picture_label.h"
#include "gui/quit_signals_qt.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "platform/files.h"
#include "support/gui_test_support.h"
#include "support/mol_text.h"
#include "support/recording_ui.h"

using namespace vuduzez;
using namespace vuduzez::testsupport;
namespace fs = std::filesystem;

namespace {

using Messages = std::vector<std::string>;

// The user's own settings, where the window keeps its choices.
QSettings UserSettingsForTest() {
  return QSettings(QStringLiteral("vuduzez"), QStringLiteral("vuduzez"));
}

// Whether a picture shows anything in the highlight colour.
bool Lit(const QPicture& picture) {
  const QImage image = PictureToImage(picture);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) & 0xffffff) == kHighlightRgb) return true;
    }
  }
  return false;
}

// A square grid of carbons: too many walks for a structure key.
std::string GridMol(int n) {
  std::string s = "\r\n\r\n\r\n";
  char buf[128];
  std::snprintf(buf, sizeof buf, "%3d%3d  0  0  0  0  0  0  0  0999 V2000\r\n", n * n,
                2 * n * (n - 1));
  s += buf;
  for (int i = 0; i < n * n; ++i) {
    std::snprintf(buf, sizeof buf, "%10.4f%10.4f%10.4f C   0  0  0  0  0  0  0  0  0  0  0  0\r\n",
                  double(i / n), double(i % n), 0.0);
    s += buf;
  }
  for (int i = 0; i < n * n; ++i) {
    const int a = i + 1;
    if (i % n + 1 < n) {
      std::snprintf(buf, sizeof buf, "%3d%3d  1  0\r\n", a, a + 1);
      s += buf;
    }
    if (i / n + 1 < n) {
      std::snprintf(buf, sizeof buf, "%3d%3d  1  0\r\n", a, a + n);
      s += buf;
    }
  }
  return s + "M  END\r\n";
}

}  // namespace

class SearchWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir root_;
  std::string dir_;
  std::string db1_, db2_, molDir_, otherMolDir_;
  RecordingUi ui_;
  TfrmMenu* menu_ = nullptr;
  TfrmMain* w_ = nullptr;

  template <typename T>
  T* Child(const char* name) {
    T* c = w_->findChild<T*>(QString::fromLatin1(name));
    if (c == nullptr) qFatal("no control %s", name);
    return c;
  }
  QString Text(const char* edit) { return Child<QLineEdit>(edit)->text(); }
  void Click(const char* button) { Child<QPushButton>(button)->click(); }
  void Show() {
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
  }
  void ReShow() {
    w_->hide();
    w_->show();
  }
  // The hit shown: name box, formula and weight.
  void ExpectShown(const char* file, const char* formula, const char* weight) {
    QCOMPARE(Text("Edit3"), QString::fromUtf8(file));
    QCOMPARE(Text("Edit1"), QString::fromUtf8(formula));
    QCOMPARE(Text("Edit2"), QString::fromUtf8(weight));
  }
  void SearchClipboardBlock(const char* sample) {
    SetClipboardBlock(MdlctBlock(SampleMol(sample)));
    Click("Button4");
  }
  // The structure panel, its drawing area and its tool buttons.
  EditorPanel* Panel() { return Child<EditorPanel>("OleContainer1"); }
  SketchCanvas* Canvas() { return Panel()->canvas(); }
  void Tool(const char* name) {
    auto* b = Panel()->findChild<QToolButton*>(QString::fromLatin1(name));
    if (b == nullptr) qFatal("no tool %s", name);
    b->click();
  }
  QPoint AtomOnScreen(int atom) {
    return Canvas()->toScreen(Panel()->sketch().doc().atoms[atom].pos).toPoint();
  }
  // The hits and the query key of the last search.
  std::pair<std::vector<std::string>, std::string> Result() {
    return {w_->searchState().hitnames, com_data().molecule.keydata};
  }

 private slots:
  void initTestCase() {
    dir_ = root_.path().toStdString();
    molDir_ = dir_ + "/mol";
    otherMolDir_ = dir_ + "/other";
    fs::create_directories(molDir_);
    fs::create_directories(otherMolDir_);
    fs::create_directories(dir_ + "/scratch");
    for (const char* name : {"benzene", "toluene", "ethanol", "phenol"}) {
      fs::copy_file(SamplePath(name), molDir_ + "/" + name + ".mol");
    }
    fs::copy_file(SamplePath("benzene"), otherMolDir_ + "/benzene.mol");
    const auto benzene = RecordFor(SamplePath("benzene"), "benzene.mol");
    auto ghost = benzene;
    ghost.name = "ghost.mol";  // registered, but its MOL file is gone
    const auto toluene = RecordFor(SamplePath("toluene"), "toluene.mol");
    const auto ethanol = RecordFor(SamplePath("ethanol"), "ethanol.mol");
    const auto phenol = RecordFor(SamplePath("phenol"), "phenol.mol");
    db1_ = dir_ + "/compounds.txt";
    db2_ = dir_ + "/aromatics.txt";
    WriteDatabase(db1_, {benzene, ghost, toluene, ethanol, phenol});
    WriteDatabase(db2_, {benzene, toluene, phenol});
    WriteFileBytes(dir_ + "/vuduzez.ini", "[mdatafilename]\r\n" + db1_ + "\r\n[basedir1]\r\n" +
                                              molDir_ + "\r\n[basedir2]\r\n" + dir_ + "\r\n");
    QDir::setCurrent(root_.path());
    qputenv("TMP", QByteArray::fromStdString(dir_ + "/scratch"));
    // The window's remembered choices go to a settings folder of the test's own.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_ + "/config"));

    SetWindowUi(&ui_);
    menu_ = new TfrmMenu;
    forms().frmMenu = menu_;
    menu_->show();  // reads vuduzez.ini once
    QCOMPARE(com_data().settings.mdatafilename, db1_);
    menu_->hide();
  }

  void init() {
    ui_ = RecordingUi();
    com_data().settings = Settings{db1_, molDir_, dir_};
    w_ = new TfrmMain;
    forms().frmMain = w_;
    ConnectForms(forms());  // as program start wires them
  }

  void cleanup() {
    forms().frmMain = nullptr;
    delete w_;
    w_ = nullptr;
  }

  void cleanupTestCase() {
    forms().frmMenu = nullptr;
    delete menu_;
    SetWindowUi(nullptr);
  }

  void controlsAndCaptions() {
    QCOMPARE(w_->windowTitle(), QStringLiteral("部分構造検索"));
    QCOMPARE(Child<QPushButton>("Button4")->text(), QStringLiteral("部分構造検索(&S)"));
    QCOMPARE(Child<QPushButton>("Button4")->toolTip(), QStringLiteral("部分構造による検索を開始"));
    QCOMPARE(Child<QPushButton>("Button5")->text(), QStringLiteral("前のデータ(&P)"));
    QCOMPARE(Child<QPushButton>("Button6")->text(), QStringLiteral("次のデータ(&N)"));
    QCOMPARE(Child<QPushButton>("Button2")->text(), QStringLiteral("終了(&X)"));
    QCOMPARE(Child<QPushButton>("Button1")->text(), QStringLiteral("変更(&D)"));
    QCOMPARE(Child<QPushButton>("Button1")->toolTip(),
             QStringLiteral("使用するデータベースを変更"));
    QCOMPARE(Child<QPushButton>("Button3")->text(), QStringLiteral("変更(&F)"));
    QCOMPARE(Child<QPushButton>("OpenMolButton")->text(), QStringLiteral("MOLファイルを開く(&O)"));
    QCOMPARE(Child<QLineEdit>("Edit6")->toolTip(),
             QStringLiteral("現在使用しているデータベースの名前"));
    QCOMPARE(Child<QLineEdit>("Edit7")->toolTip(),
             QStringLiteral("表示する化合物のmole fileの入ったフォルダ"));
    QCOMPARE(Child<EditorPanel>("OleContainer1")->toolTip().toStdString(), StructureEditorHint());
    QStringList labels;
    for (QLabel* l : w_->findChildren<QLabel*>()) labels << l->text();
    for (const char* text :
         {"レコードNo", "該当レコード", "件", "化合物名", "分子式", "分子量",
          "データベースファイル名", "mole file 収納フォルダ", "ISIS Draw Window"}) {
      QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
    }
    // Never smaller than the original picture.
    QCOMPARE(Child<QLabel>("Image1")->minimumSize(), QSize(350, 245));
  }

  // The window resizes: the structure panel and the hit picture grow, the
  // picture keeping its aspect and drawn at the size shown.
  void resizingGrowsThePanelAndThePicture() {
    Show();
    SearchClipboardBlock("toluene");
    auto* image = Child<PictureLabel>("Image1");
    QApplication::processEvents();
    const QRectF before = image->pictureRect();
    const int panelBefore = Panel()->width();
    QVERIFY(before.width() >= 350);
    w_->resize(w_->width() + 500, w_->height() + 400);
    QApplication::processEvents();
    const QRectF after = image->pictureRect();
    QVERIFY2(after.width() > before.width() + 150, qPrintable(QString::number(after.width())));
    QVERIFY(std::abs(after.height() / after.width() - 0.7) < 0.01);
    QVERIFY(Panel()->width() > panelBefore + 150);
    // The drawing reaches beyond the original 350 pixels.
    const QImage shot = image->grab().toImage();
    int darkRight = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = static_cast<int>(after.left()) + 360; x < shot.width(); ++x) {
        darkRight += qGray(shot.pixel(x, y)) < 128;
      }
    }
    QVERIFY(darkRight > 0);
  }

  void activationLoadsTheDatabaseOnce() {
    Show();
    QCOMPARE(w_->searchState().mlcount, 5);
    QCOMPARE(Text("Edit6"), QString::fromStdString(db1_));
    QCOMPARE(Text("Edit7"), QString::fromStdString(molDir_));
    QVERIFY(!w_->FirstActivation());
    // Records added later are not seen; the boxes show the settings again.
    WriteDatabase(db1_ + ".new", {});
    com_data().settings.basedir1 = otherMolDir_;
    ReShow();
    QCOMPARE(w_->searchState().mlcount, 5);
    QCOMPARE(Text("Edit7"), QString::fromStdString(otherMolDir_));
    QVERIFY(ui_.messages.empty() && ui_.errors.empty());
  }

  void pagingBeforeAnySearch() {
    Show();
    Click("Button5");
    Click("Button6");
    QCOMPARE(ui_.messages, (Messages{"もうデータがありません", "もうデータがありません"}));
    QCOMPARE(Text("Edit4"), QString());
  }

  void searchFromEditorBlockAndPaging() {
    Show();
    SearchClipboardBlock("benzene");
    QVERIFY(ui_.messages.empty());
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QCOMPARE(Text("Edit4"), QStringLiteral("1"));
    ExpectShown("benzene.mol", "C6H6", "78.11");
    QVERIFY(w_->picture().size() > 0);
    QCOMPARE(w_->picture().boundingRect(), QRect(0, 0, 350, 245));
    // The hit is the current molecule now; the query's key stays.
    QCOMPARE(com_data().molecule.molformula, std::string("C6H6"));

    // Hit 2 has no MOL file: the message names it, and no other compound's
    // picture or values stand beside its number.
    Click("Button6");
    QCOMPARE(ui_.messages, Messages{"ファイルがありません: " + molDir_ + "/ghost.mol"});
    QCOMPARE(Text("Edit4"), QStringLiteral("2"));
    ExpectShown("", "", "");
    QVERIFY(w_->picture().isNull());
    QVERIFY(Child<QLabel>("Image1")->picture().isNull());
    Click("Button6");
    ExpectShown("toluene.mol", "C7H8", "92.14");
    Click("Button6");
    ExpectShown("phenol.mol", "C6H6O", "94.11");
    QCOMPARE(ui_.messages.size(), size_t(1));
    Click("Button6");  // past the last hit
    QCOMPARE(ui_.messages.back(), std::string("もうデータがありません"));
    QCOMPARE(Text("Edit4"), QStringLiteral("4"));
    ExpectShown("phenol.mol", "C6H6O", "94.11");
    Click("Button5");
    QCOMPARE(Text("Edit4"), QStringLiteral("3"));
    ExpectShown("toluene.mol", "C7H8", "92.14");
    Click("Button5");
    Click("Button5");
    QCOMPARE(Text("Edit4"), QStringLiteral("1"));
    ExpectShown("benzene.mol", "C6H6", "78.11");
    ui_.messages.clear();
    Click("Button5");  // before the first
    QCOMPARE(ui_.messages, Messages{"もうデータがありません"});
    QCOMPARE(Text("Edit4"), QStringLiteral("1"));

    // The same query again gives the same hits and shows hit 1 again.
    Click("Button6");
    Click("Button6");
    const auto hits = w_->searchState().hitnames;
    Click("Button4");
    QCOMPARE(w_->searchState().hitnames, hits);
    QCOMPARE(Text("Edit4"), QStringLiteral("1"));
    ExpectShown("benzene.mol", "C6H6", "78.11");
  }

  void atomByAtomSearch() {
    Show();
    auto* box = Child<QAbstractButton>("CheckBox1");
    QCOMPARE(box->text(), QStringLiteral("原子単位で照合(&E)"));
    QVERIFY(!box->isChecked());
    box->setChecked(true);
    SearchClipboardBlock("benzene");
    // Screened: benzene, ghost, toluene, phenol; ghost has no MOL file.
    QCOMPARE(Text("Edit5"), QStringLiteral("3"));
    QCOMPARE(w_->searchState().hitnames,
             (std::vector<std::string>{"benzene", "toluene", "phenol"}));
    auto* counts = Child<QLabel>("ExactLabel");
    QVERIFY(counts->isVisible());
    QCOMPARE(counts->text(), QStringLiteral("候補 4 件中（未確認 1 件）"));
    QVERIFY(counts->toolTip().startsWith(QStringLiteral("ghost: ")));
    QVERIFY(ui_.messages.empty());
    // The matched ring is drawn in the highlight colour.
    const auto lit = [&] { return Lit(w_->picture()); };
    QVERIFY(lit());
    // The key screen again: the screened hits, no counts, no highlight.
    Child<QAbstractButton>("ModeScreen")->setChecked(true);
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QVERIFY(!counts->isVisible());
    QVERIFY(!lit());
  }

  void similaritySearchPagesInRankedOrderWithScores() {
    Show();
    auto* threshold = Child<QDoubleSpinBox>("ThresholdBox");
    QVERIFY(!threshold->isEnabled());
    QCOMPARE(threshold->value(), 0.7);
    Child<QAbstractButton>("ModeSimilar")->setChecked(true);
    QVERIFY(threshold->isEnabled());
    QCOMPARE(Child<QPushButton>("Button4")->text(), QStringLiteral("類似構造検索(&S)"));
    threshold->setValue(0.2);
    SetClipboardText("Oc1ccccc1");
    Click("Button4");
    QVERIFY(ui_.messages.empty());
    // Most similar first (RDKit's scores), not in database order; ghost has
    // no MOL file and so no score.
    QCOMPARE(w_->searchState().hitnames,
             (std::vector<std::string>{"phenol", "toluene", "benzene"}));
    QCOMPARE(w_->hitScores(), (std::vector<double>{1.0, 6.0 / 16, 3.0 / 11}));
    QCOMPARE(Text("Edit5"), QStringLiteral("3"));
    QCOMPARE(Child<QLabel>("ExactLabel")->text(),
             QStringLiteral("類似度 0.20 以上（類似度なし 1 件）"));
    ExpectShown("phenol.mol", "C6H6O", "94.11");
    QVERIFY(Child<QLineEdit>("ScoreEdit")->isVisible());
    QCOMPARE(Text("ScoreEdit"), QStringLiteral("1.000"));
    Click("Button6");
    ExpectShown("toluene.mol", "C7H8", "92.14");
    QCOMPARE(Text("ScoreEdit"), QStringLiteral("0.375"));
    Click("Button6");
    ExpectShown("benzene.mol", "C6H6", "78.11");
    QCOMPARE(Text("ScoreEdit"), QStringLiteral("0.273"));
    QVERIFY(!Lit(w_->picture()));
    // Saved in ranked order with the scores.
    ui_.fileAnswers = {dir_ + "/similar.csv"};
    Click("SaveHitsButton");
    QCOMPARE(ReadFileBytes(dir_ + "/similar.csv"),
             std::string("name,formula,weight,similarity\r\nphenol,C6H6O,94.11,1\r\n"
                         "toluene,C7H8,92.14,0.375\r\nbenzene,C6H6,78.11,0.2727272727272727\r\n"));
    // A higher threshold: fewer hits.
    threshold->setValue(0.5);
    Click("Button4");
    QCOMPARE(w_->searchState().hitnames, std::vector<std::string>{"phenol"});
    // Mode and threshold are the user's next time; the key screen shows no score.
    {
      TfrmMain other;
      QVERIFY(other.findChild<QAbstractButton*>(QStringLiteral("ModeSimilar"))->isChecked());
      QCOMPARE(other.findChild<QDoubleSpinBox*>(QStringLiteral("ThresholdBox"))->value(), 0.5);
    }
    threshold->setValue(0.7);
    Child<QAbstractButton>("ModeScreen")->setChecked(true);
    QCOMPARE(Child<QPushButton>("Button4")->text(), QStringLiteral("部分構造検索(&S)"));
    SearchClipboardBlock("benzene");
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QVERIFY(w_->hitScores().empty());
    QVERIFY(!Child<QLineEdit>("ScoreEdit")->isVisible());
  }

  void atomByAtomModeIsRememberedAndSmartsSearchedAtomByAtom() {
    Show();
    auto* box = Child<QAbstractButton>("CheckBox1");
    auto* chiral = Child<QCheckBox>("ChiralBox");
    QVERIFY(Child<QAbstractButton>("ModeScreen")->isChecked());
    QVERIFY(!box->isChecked());
    QVERIFY(!chiral->isEnabled());
    box->setChecked(true);
    chiral->setChecked(true);
    // A window opened later (the next run) starts as the user left it; the
    // workspace's vuduzez.ini is not touched.
    const std::string ini = ReadFileBytes(dir_ + "/vuduzez.ini");
    {
      TfrmMain other;
      QVERIFY(other.findChild<QAbstractButton*>(QStringLiteral("CheckBox1"))->isChecked());
      QVERIFY(other.findChild<QCheckBox*>(QStringLiteral("ChiralBox"))->isChecked());
    }
    QVERIFY(QFile::exists(QString::fromStdString(dir_ + "/config/vuduzez/vuduzez.conf")));
    QCOMPARE(ReadFileBytes(dir_ + "/vuduzez.ini"), ini);
    // The setting of the version with a check box alone still says atom by atom.
    UserSettingsForTest().remove(QStringLiteral("search/mode"));
    {
      TfrmMain other;
      QVERIFY(other.findChild<QAbstractButton*>(QStringLiteral("CheckBox1"))->isChecked());
    }
    Child<QAbstractButton>("ModeScreen")->setChecked(true);
    chiral->setChecked(false);
    QVERIFY(!chiral->isEnabled());
    {
      TfrmMain other;
      QVERIFY(other.findChild<QAbstractButton*>(QStringLiteral("ModeScreen"))->isChecked());
    }
    // A SMARTS pasted while the key screen is the mode: searched atom by atom.
    SetClipboardText("[OX2H]c");
    Click("Button4");
    QVERIFY(ui_.messages.empty());
    QCOMPARE(w_->searchState().hitnames, (std::vector<std::string>{"phenol"}));
    QVERIFY(Child<QLabel>("EditorLabel")->text().contains(QStringLiteral("SMARTS")));
  }

  void searchFromMolText() {
    Show();
    SetClipboardText(SampleMol("phenol"));
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    ExpectShown("phenol.mol", "C6H6O", "94.11");

    SetClipboardMime(QStringLiteral("chemical/x-mdl-molfile"), SampleMol("toluene"));
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    ExpectShown("toluene.mol", "C7H8", "92.14");
    QVERIFY(ui_.messages.empty());
  }

  void searchWithoutHits() {
    Show();
    SearchClipboardBlock("benzene");
    SearchClipboardBlock("ethanol");  // only ethanol has an O on a C-C
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    ui_.messages.clear();
    SetClipboardText(SampleMol("aniline"));
    Click("Button4");
    QCOMPARE(ui_.messages, Messages{"一致する化合物はありません"});
    QCOMPARE(Text("Edit5"), QStringLiteral("0"));
    QCOMPARE(Text("Edit4"), QStringLiteral("1"));
    Click("Button5");
    Click("Button6");
    QCOMPARE(ui_.messages.size(), size_t(3));
    QCOMPARE(ui_.messages[1], std::string("もうデータがありません"));
    QCOMPARE(ui_.messages[2], std::string("もうデータがありません"));
    ExpectShown("", "", "");  // no earlier hit beside "0 件"
    QVERIFY(w_->picture().isNull());
  }

  void searchFromSmiles() {
    Show();
    // A SMILES when no block or MOL text is there; the panel says it is not drawn.
    SetClipboardText("  c1ccccc1O phenol \n");
    Click("Button4");
    QVERIFY(ui_.messages.empty());
    QCOMPARE(w_->searchState().hitnames, (std::vector<std::string>{"phenol"}));
    ExpectShown("phenol.mol", "C6H6O", "94.11");
    QVERIFY(Child<QLabel>("EditorLabel")->text().contains(QStringLiteral("c1ccccc1O")));
    // MOL text comes before a SMILES and brings the caption back.
    SetClipboardText(SampleMol("benzene"));
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QCOMPARE(Child<QLabel>("EditorLabel")->text(), QStringLiteral("ISIS Draw Window"));
    // A bad SMILES is refused with its position; the hits stay.
    SetClipboardText("c1cccc1");
    Click("Button4");
    QCOMPARE(ui_.messages.size(), size_t(1));
    QVERIFY(ui_.messages[0].rfind("SMILES の ", 0) == 0);
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    // Text that is no SMILES is no structure.
    SetClipboardText("hello world");
    Click("Button4");
    QCOMPARE(ui_.messages.back(), std::string("クリップボードにデータがありません"));
  }

  void identitySearchNamesEachHitsRelation() {
    Show();
    Child<QAbstractButton>("ModeIdentity")->setChecked(true);
    // Sodium phenolate: phenol itself is a salt form of it away.
    SetClipboardText("[O-]c1ccccc1.[Na+]");
    Click("Button4");
    QVERIFY(ui_.messages.empty());
    QCOMPARE(w_->searchState().hitnames, (std::vector<std::string>{"phenol"}));
    ExpectShown("phenol.mol", "C6H6O", "94.11");
    QCOMPARE(Child<QLabel>("IdentityLabel")->text(), QString::fromUtf8(kSaltFormRelation));
    // Benzene drawn as a MOL file: itself (ghost has no MOL file to compare).
    SetClipboardText(SampleMol("benzene"));
    Click("Button4");
    QCOMPARE(w_->searchState().hitnames, (std::vector<std::string>{"benzene"}));
    QCOMPARE(Child<QLabel>("IdentityLabel")->text(), QString::fromUtf8(kSameStructureRelation));
    // Saved with what each hit is.
    ui_.fileAnswers = {dir_ + "/same.csv"};
    Click("SaveHitsButton");
    QCOMPARE(ReadFileBytes(dir_ + "/same.csv"),
             std::string("name,formula,weight,layer\r\nbenzene,C6H6,78.11,exact\r\n"));
    // The substructure search again: no relation beside its hits.
    Child<QAbstractButton>("ModeScreen")->setChecked(true);
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QVERIFY(Child<QLabel>("IdentityLabel")->isHidden());
  }

  void saveHits() {
    Show();
    Click("SaveHitsButton");
    QCOMPARE(ui_.messages, Messages{"保存する検索結果がありません"});
    SearchClipboardBlock("benzene");
    ui_.messages.clear();
    // SD: every hit, the one without its MOL file with the database's formula
    // and weight and no structure; it is named in the message.
    ui_.fileAnswers = {dir_ + "/hits.sdf", dir_ + "/hits.CSV", dir_ + "/hits.json", std::nullopt};
    Click("SaveHitsButton");
    QCOMPARE(ui_.inputs.back(),
             "SaveFile|検索結果を保存|SDファイル|*.sdf;*.sd|CSVファイル|*.csv|" + dir_);
    const std::string sdf = ReadFileBytes(dir_ + "/hits.sdf");
    QCOMPARE(std::count(sdf.begin(), sdf.end(), '$'), 16);  // four records
    QVERIFY(sdf.find(">  <name>\r\ntoluene\r\n") != std::string::npos);
    QVERIFY(sdf.find(">  <name>\r\nghost\r\n\r\n>  <formula>\r\nC6H6\r\n") != std::string::npos);
    QCOMPARE(ui_.messages.size(), size_t(1));
    QVERIFY(ui_.messages[0].find("検索結果 4 件を保存しました") == 0);
    QVERIFY(ui_.messages[0].find(HitsWithoutStructureMessage(1) +
                                 "\nghost: ファイルがありません") != std::string::npos);
    // CSV by its extension, whatever its letter case.
    Click("SaveHitsButton");
    QCOMPARE(ReadFileBytes(dir_ + "/hits.CSV"),
             std::string("name,formula,weight\r\nbenzene,C6H6,78.11\r\nghost,C6H6,78.11\r\n"
                         "toluene,C7H8,92.14\r\nphenol,C6H6O,94.11\r\n"));
    // Another extension is refused; a cancelled dialog does nothing.
    Click("SaveHitsButton");
    QVERIFY(ui_.messages.back().find(".sdf") != std::string::npos);
    QVERIFY(!FileExists(dir_ + "/hits.json"));
    const size_t shown = ui_.messages.size();
    Click("SaveHitsButton");
    QCOMPARE(ui_.messages.size(), shown);
  }

  void nothingOnTheClipboard() {
    Show();
    SearchClipboardBlock("benzene");
    ClearClipboard();
    Click("Button4");
    QCOMPARE(ui_.messages, Messages{"クリップボードにデータがありません"});
    QCOMPARE(w_->searchState().hitcount, 4);
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
  }

  // Drawn in the panel with the mouse: the benzene template and an O grown
  // from one of its atoms is phenol, searched as the clipboard's phenol is;
  // a chain of three carbons by the sketcher's own calls is propane. The
  // drawing wins over whatever the clipboard holds and stays as drawn.
  void drawnQueriesAreSearched() {
    Show();
    SearchClipboardBlock("phenol");
    const auto phenol = Result();
    const std::string propaneMol = testing::MolText("propane", testing::Atoms(3), {{1, 2}, {2, 3}});
    SetClipboardText(propaneMol);
    Click("Button4");
    const auto propane = Result();
    QVERIFY(!propane.second.empty());
    QVERIFY(!Panel()->holdsUserDrawing());  // the panel shows the capture

    Tool("sketchClear");
    Tool("sketchBenzene");
    const QPoint centre(Canvas()->width() / 2, Canvas()->height() / 2);
    QTest::mouseClick(Canvas(), Qt::LeftButton, Qt::NoModifier, centre);
    Tool("sketchElement_O");
    const QPoint from = AtomOnScreen(0);
    QTest::mousePress(Canvas(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(Canvas(), from + QPoint(1, -20));
    QTest::mouseMove(Canvas(), from + QPoint(2, -40));
    QTest::mouseRelease(Canvas(), Qt::LeftButton, Qt::NoModifier, from + QPoint(2, -40));
    QCOMPARE(Panel()->sketch().doc().atoms.size(), size_t(7));
    const SketchDoc drawn = Panel()->sketch().doc();
    SearchClipboardBlock("benzene");  // not taken: the drawing is the query
    QCOMPARE(Result(), phenol);
    QCOMPARE(Panel()->sketch().doc(), drawn);
    ExpectShown("phenol.mol", "C6H6O", "94.11");

    Panel()->clear();
    Canvas()->edit([](Sketch& s) { return s.AddChain(ChainPoints({0, 0}, {2.7, 0})); });
    Click("Button4");
    QCOMPARE(Result(), propane);  // no hits among the aromatics: the same key, then
    QCOMPARE(ui_.messages, Messages(2, "一致する化合物はありません"));
    ui_.messages.clear();

    // A drawing the search refuses stays in the panel.
    QVERIFY(Panel()->setMolText(GridMol(4), ui_));
    Click("Button4");
    QCOMPARE(ui_.messages, Messages{"検索構造は分子が大きすぎます"});
    QCOMPARE(Panel()->sketch().doc().atoms.size(), size_t(16));
  }

  // Each clipboard format pasted into the panel shows the structure and
  // searches as the button's own capture of it does; a SMILES (which only
  // the panel reads) as its MOL file does.
  void pastedFormatsSearchLikeTheClipboard() {
    Show();
    using Put = std::function<void()>;
    const std::vector<std::pair<const char*, Put>> formats = {
        {"MDLCT", [] { SetClipboardBlock(MdlctBlock(SampleMol("toluene"))); }},
        {"molfile",
         [] { SetClipboardMime(QStringLiteral("chemical/x-mdl-molfile"), SampleMol("phenol")); }},
        {"text", [] { SetClipboardText(SampleMol("benzene")); }},
    };
    for (const auto& [format, put] : formats) {
      Tool("sketchClear");
      put();
      Click("Button4");
      const auto captured = Result();
      QVERIFY2(!captured.first.empty(), format);
      Tool("sketchClear");
      QVERIFY(!Panel()->hasStructure());
      put();
      QTest::keyClick(Canvas(), Qt::Key_V, Qt::ControlModifier);
      QVERIFY2(Panel()->holdsUserDrawing(), format);
      ClearClipboard();
      Click("Button4");
      QVERIFY2(Result() == captured, format);
    }
    Tool("sketchClear");
    SearchClipboardBlock("phenol");
    const auto phenol = Result();
    Tool("sketchClear");
    SetClipboardText("c1ccccc1O");
    QTest::keyClick(Canvas(), Qt::Key_V, Qt::ControlModifier);
    Click("Button4");
    QCOMPARE(Result().first, phenol.first);
    QVERIFY(ui_.messages.empty());
  }

  // What the button takes: the clipboard over a structure the window showed,
  // the panel's drawing once the user changed it, the clipboard again once
  // the change is undone or the panel cleared.
  void panelOrClipboard() {
    Show();
    SearchClipboardBlock("benzene");
    SearchClipboardBlock("toluene");
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    QCOMPARE(Panel()->sketch().doc().atoms.size(), size_t(7));

    // A paste replaces what the window showed, and is the user's.
    SetClipboardBlock(MdlctBlock(SampleMol("ethanol")));
    QTest::keyClick(Canvas(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Panel()->sketch().doc().atoms.size(), size_t(3));
    SearchClipboardBlock("benzene");
    ExpectShown("ethanol.mol", "C2H6O", "46.07");

    QTest::keyClick(Canvas(), Qt::Key_Z, Qt::ControlModifier);  // the toluene shown again
    SearchClipboardBlock("benzene");
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));

    // An edit of the shown structure: an O on the benzene.
    Canvas()->edit([](Sketch& s) {
      return s.AddBondAt(s.doc().atoms[0].pos, s.FreeBondEnd(0), 1, kStereoNone, "O") >= 0;
    });
    SearchClipboardBlock("benzene");
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    ExpectShown("phenol.mol", "C6H6O", "94.11");

    // Ctrl+C hands the drawing over as a structure editor would.
    QTest::keyClick(Canvas(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    QVERIFY(copied->hasFormat(QStringLiteral("MDLCT")));
    QVERIFY(copied->hasFormat(QStringLiteral("chemical/x-mdl-molfile")));
    Tool("sketchClear");
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    QVERIFY(Panel()->hasStructure() && !Panel()->holdsUserDrawing());
    QVERIFY(ui_.messages.empty());
  }

  void refusedQueryStopsTheSearch() {
    Show();
    SearchClipboardBlock("benzene");
    // A key that cannot be made: no screening on the key of an earlier molecule.
    SetClipboardText(GridMol(4));
    Click("Button4");
    QCOMPARE(ui_.messages.size(), size_t(1));
    QCOMPARE(ui_.messages[0], std::string("検索構造は分子が大きすぎます"));
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QCOMPARE(w_->searchState().hitcount, 4);
    // A file the reader refuses.
    std::string tooMany = SampleMol("benzene");
    tooMany.replace(tooMany.find("  6  6"), 6, "201  6");
    SetClipboardText(tooMany);
    Click("Button4");
    QCOMPARE(ui_.messages.size(), size_t(2));
    QCOMPARE(w_->searchState().hitcount, 4);
    ExpectShown("benzene.mol", "C6H6", "78.11");
  }

  void droppedAndOpenedMolFiles() {
    Show();
    auto* panel = Child<EditorPanel>("OleContainer1");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(SamplePath("toluene")))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &drop);
    QCOMPARE(Text("Edit5"), QStringLiteral("1"));
    ExpectShown("toluene.mol", "C7H8", "92.14");
    // The query stays in memory: nothing is written to the scratch folder.
    QVERIFY(fs::is_empty(dir_ + "/scratch"));

    ui_.fileAnswers.push_back(SamplePath("benzene"));
    ui_.fileAnswers.push_back(std::nullopt);
    Click("OpenMolButton");
    QCOMPARE(ui_.inputs.back(), "OpenFile|MolFile|*.mol;*.MOL;*.mol.gz|" + molDir_);
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    Click("OpenMolButton");  // cancelled: nothing happens
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QVERIFY(ui_.messages.empty());
  }

  void anotherDatabaseFile() {
    Show();
    ui_.fileAnswers.push_back(db2_);
    Click("Button1");
    QCOMPARE(ui_.inputs.back(), "OpenFile|Txt|*.txt|" + dir_);
    QCOMPARE(Text("Edit6"), QString::fromStdString(db2_));
    QCOMPARE(w_->searchState().mlcount, 3);
    QCOMPARE(com_data().settings.mdatafilename, db1_);
    SearchClipboardBlock("benzene");
    QCOMPARE(Text("Edit5"), QStringLiteral("3"));

    Click("Button1");  // cancelled
    QCOMPARE(ui_.messages, Messages{"no file name was found"});
    QCOMPARE(w_->searchState().mlcount, 3);

    // A file that fails to load: the error, the chosen path shown, the records kept.
    ui_.fileAnswers.push_back(dir_ + "/missing.txt");
    Click("Button1");
    QCOMPARE(ui_.errors.size(), size_t(1));
    QCOMPARE(Text("Edit6"), QString::fromStdString(dir_ + "/missing.txt"));
    QCOMPARE(w_->searchState().mlcount, 3);
    QCOMPARE(Text("Edit5"), QString());  // no hits of the other file beside this name

    // A search goes to the file shown: the missing one, so it stops there.
    SearchClipboardBlock("benzene");
    QCOMPARE(ui_.errors.size(), size_t(2));
    QCOMPARE(Text("Edit5"), QString());

    // The next activation shows the setting again and searches it; the hits
    // of the other file are gone with it.
    ReShow();
    QCOMPARE(Text("Edit6"), QString::fromStdString(db1_));
    QCOMPARE(w_->databaseFile(), db1_);
    QCOMPARE(w_->searchState().mlcount, 5);
    QCOMPARE(w_->searchState().hitcount, 0);
    QCOMPARE(Text("Edit5"), QString());
    ExpectShown("", "", "");
    Click("Button6");
    QCOMPARE(ui_.messages.back(), std::string("もうデータがありません"));
  }

  void searchesTheDatabaseAsItIsNow() {
    // A database of this test's own that other programs change meanwhile.
    const std::string db = dir_ + "/live.txt";
    fs::copy_file(db1_, db, fs::copy_options::overwrite_existing);
    com_data().settings.mdatafilename = db;
    Show();
    SearchClipboardBlock("benzene");
    QCOMPARE(Text("Edit5"), QStringLiteral("4"));
    QVERIFY(Child<EditorPanel>("OleContainer1")->hasStructure());  // the query in view

    // Appended by another program: found by the next search.
    AppendRecord(db, RecordFor(SamplePath("phenol"), "phenol2.mol"));
    Click("Button4");
    QCOMPARE(Text("Edit5"), QStringLiteral("5"));

    // Replaced by a file of the same size and modification time: a new file
    // all the same, read again.
    std::string text = ReadFileBytes(db);
    text.replace(text.find("ghost.mol"), 9, "GHOST.mol");
    const std::string replacement = dir_ + "/live.new";
    WriteFileBytes(replacement, text);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
    struct stat st;
    QCOMPARE(::stat(db.c_str(), &st), 0);
    const struct timespec same[2] = {times[0], st.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, replacement.c_str(), same, 0), 0);
    QCOMPARE(::rename(replacement.c_str(), db.c_str()), 0);
    Click("Button4");
    QVERIFY(w_->searchState().hitnames[1] == "GHOST");
    QCOMPARE(w_->searchState().mlcount, 6);
    QVERIFY(ui_.errors.empty());
  }

  void recordNumberBoxJumpsToAHit() {
    Show();
    auto* box = Child<QLineEdit>("Edit4");
    Click("Button6");  // before any search
    QTest::keyClicks(box, "2");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(ui_.messages.back(), std::string("もうデータがありません"));
    QCOMPARE(box->text(), QString());

    SearchClipboardBlock("benzene");
    box->clear();
    QTest::keyClicks(box, "3");
    QTest::keyClick(box, Qt::Key_Return);
    ExpectShown("toluene.mol", "C7H8", "92.14");
    QCOMPARE(w_->searchState().hitpos, 3);
    Click("Button6");  // paging goes on from there
    ExpectShown("phenol.mol", "C6H6O", "94.11");
    box->clear();
    QTest::keyClicks(box, "12");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(ui_.messages.back(), std::string("レコードNo は 1～4 の番号を入力してください"));
    QCOMPARE(box->text(), QStringLiteral("4"));
    ExpectShown("phenol.mol", "C6H6O", "94.11");

    // Six digits fit in both number boxes.
    box->setText(QStringLiteral("999999"));
    QCOMPARE(box->text(), QStringLiteral("999999"));
    for (const char* name : {"Edit4", "Edit5"}) {
      auto* e = Child<QLineEdit>(name);
      const int room = e->contentsRect().width() - e->textMargins().left() -
                       e->textMargins().right() - 4;  // the frame's own margin
      QVERIFY2(e->fontMetrics().horizontalAdvance(QStringLiteral("999999")) <= room, name);
    }
  }

  void anotherMolFolder() {
    Show();
    ui_.folderAnswers.push_back(otherMolDir_);
    Click("Button3");
    QCOMPARE(ui_.inputs.back(), std::string("BrowseFolder|フォルダの選択"));
    QCOMPARE(Text("Edit7"), QString::fromStdString(otherMolDir_));
    QCOMPARE(com_data().settings.basedir1, molDir_);
    SearchClipboardBlock("benzene");
    ExpectShown("benzene.mol", "C6H6", "78.11");
    Click("Button6");
    Click("Button6");  // toluene is not in the chosen folder
    QCOMPARE(ui_.messages, (Messages{"ファイルがありません: " + otherMolDir_ + "/ghost.mol",
                                     "ファイルがありません: " + otherMolDir_ + "/toluene.mol"}));

    Click("Button3");  // cancelled: box and folder stay
    QCOMPARE(Text("Edit7"), QString::fromStdString(otherMolDir_));
    QCOMPARE(w_->molFolder(), otherMolDir_);

    ReShow();  // the setting is used again
    QCOMPARE(w_->molFolder(), molDir_);
    Click("Button6");
    ExpectShown("phenol.mol", "C6H6O", "94.11");
  }

  void activationWithoutDatabaseFile() {
    com_data().settings.mdatafilename.clear();
    Show();
    QCOMPARE(ui_.messages.size(), size_t(1));
    QVERIFY(ui_.messages[0].find("データベースファイル") != std::string::npos);
    QVERIFY(w_->FirstActivation());
    QCOMPARE(w_->searchState().mlcount, 0);
    SearchClipboardBlock("benzene");
    QCOMPARE(ui_.messages.back(), std::string("一致する化合物はありません"));

    com_data().settings.mdatafilename = db1_;
    ReShow();
    QVERIFY(!w_->FirstActivation());
    QCOMPARE(w_->searchState().mlcount, 5);
  }

  void failedFirstLoadIsRetried() {
    com_data().settings.mdatafilename = dir_ + "/later.txt";
    Show();
    QCOMPARE(ui_.errors.size(), size_t(1));
    QVERIFY(w_->FirstActivation());
    WriteDatabase(dir_ + "/later.txt", {RecordFor(SamplePath("ethanol"), "ethanol.mol")});
    ReShow();
    QVERIFY(!w_->FirstActivation());
    QCOMPARE(w_->searchState().mlcount, 1);
    QCOMPARE(ui_.errors.size(), size_t(1));
  }

  void closingShowsTheMenu() {
    Show();
    menu_->hide();
    Click("Button2");
    QVERIFY(!w_->isVisible());
    QVERIFY(menu_->isVisible());
    QVERIFY(!menu_->FirstActivation());
    QCOMPARE(com_data().settings.mdatafilename, db1_);  // not read again
    menu_->hide();
    // Its state survives the close.
    SearchClipboardBlock("benzene");
    w_->show();
    QCOMPARE(w_->searchState().hitcount, 4);
  }

  // The last two: a confirmation that takes long (each record of a branched
  // alkane spends all its steps on twelve separate C-C pieces it cannot hold),
  // stopped from its progress dialog, then by SIGTERM.
  void stoppingALongConfirmation() {
    SearchSlowly([](QProgressDialog* dialog) {
      QCOMPARE(dialog->labelText(), QStringLiteral("原子単位で照合しています"));
      dialog->cancel();
    });
    QVERIFY(!QuitRequested());
  }

  void terminationSignalEndsALongConfirmation() {
    menu_->show();
    CloseOnTerminationSignals(menu_);
    SearchSlowly([](QProgressDialog*) { ::kill(::getpid(), SIGTERM); });
    QVERIFY(QuitRequested());
    QTRY_VERIFY(!menu_->isVisible());  // closed by the event loop: the program's end
  }

 private:
  void SearchSlowly(const std::function<void(QProgressDialog*)>& whenShown) {
    const std::string folder = dir_ + "/slow";
    if (!fs::exists(folder)) {
      fs::create_directories(folder);
      // Three generations of three branches on one carbon, and a methyl on it.
      std::vector<testing::TestBond> tree{{1, 2}};
      std::vector<int> level{2};
      int next = 3;
      for (int generation = 0; generation < 3; ++generation) {
        std::vector<int> children;
        for (int parent : level) {
          for (int k = 0; k < 3; ++k) {
            tree.push_back({parent, next});
            children.push_back(next++);
          }
        }
        level = children;
      }
      const std::string text = testing::MolText("branched", testing::Atoms(next - 1), tree);
      std::vector<CompoundRecord> records;
      for (int i = 0; i < kSlowRecords; ++i) {
        const std::string name = "branched" + std::to_string(i);
        WriteFileBytes(folder + "/" + name + ".mol", text);
        records.push_back(RecordFor(folder + "/" + name + ".mol", name + ".mol"));
      }
      WriteDatabase(folder + ".txt", records);
    }
    com_data().settings = Settings{folder + ".txt", folder, dir_};
    Show();
    Child<QAbstractButton>("CheckBox1")->setChecked(true);
    std::string pieces = "CC";
    for (int k = 1; k < 12; ++k) pieces += ".CC";
    SetClipboardText(pieces);
    // The window goes on answering while it confirms: this timer fires, and
    // finds the dialog shown.
    bool shown = false;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = w_->findChild<QProgressDialog*>(QStringLiteral("ConfirmProgress"));
      if (!shown && dialog != nullptr && dialog->isVisible()) {
        shown = true;
        whenShown(dialog);
      }
    });
    poll.start();
    Click("Button4");
    poll.stop();
    QVERIFY(shown);
    const SoundResult& r = w_->exactResult();
    QVERIFY(r.stopped);
    // Each record refuted, given up or not reached: none is a hit, the
    // unconfirmed are named, and the last ones were not reached.
    QVERIFY(r.rows.empty());
    QCOMPARE(r.candidates, int64_t{kSlowRecords});
    QVERIFY(!r.unconfirmed.empty());
    QCOMPARE(r.unconfirmed.back().reason, std::string("照合を中止しました"));
    for (const auto& u : r.unconfirmed) {
      QVERIFY(u.reason == "照合を中止しました" || u.reason == "照合を打ち切りました");
    }
    QCOMPARE(Text("Edit5"), QStringLiteral("0"));
    QCOMPARE(Child<QLabel>("ExactLabel")->text(), QString::fromUtf8("候補 %1 件中（未確認 %2 件）")
                                                      .arg(kSlowRecords)
                                                      .arg(r.unconfirmed.size()));
  }
  static constexpr int kSlowRecords = 150;
};

QTEST_MAIN(SearchWindowTest)
#include "search_window_qt_test.moc"
