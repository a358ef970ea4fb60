// The registration window and the name confirmation dialog, driven by object
// name with the recording message interface (no modal box ever opens).
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "database/database.h"
#include "gui/TfrmInpCode.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmTouroku.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "key/structure_key.h"
#include "model/com_data.h"
#include "model/molreader.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/recording_ui.h"

using namespace vuduzez;

namespace {

const std::string kSampleMol = VUDUZEZ_SOURCE_DIR "/sample/mol/";

struct Computed {
  std::string name, formula, weight, key;
};

// What the core pipeline makes of a MOL file, independent of the window.
Computed Pipeline(const std::string& path) {
  RecordingSink ui;
  Molecule mol;
  if (!ReadMolFile(mol, path, ui)) return {};
  CalcFormulaWeight(mol);
  MakeStructureKey(mol, ui);
  return {mol.molname, mol.molformula, mol.molweight, mol.keydata};
}

// The MDLCT block of a MOL file: each line as one length byte and its text,
// up to and including "M  END".
QByteArray MdlctBlock(const std::string& molText) {
  QByteArray block;
  LineReader lines(molText);
  while (!lines.AtEnd()) {
    const std::string_view line = lines.Next();
    block.append(static_cast<char>(line.size()));
    block.append(line.data(), static_cast<qsizetype>(line.size()));
    if (line == "M  END") break;
  }
  return block;
}

void PutOnClipboard(const char* format, const QByteArray& bytes) {
  auto* data = new QMimeData;
  data->setData(format, bytes);
  QApplication::clipboard()->setMimeData(data);
}

// A MOL file of the given atoms and single bonds (from, to).
std::string MolText(const std::string& name, const std::vector<std::string>& symbols,
                    const std::vector<std::pair<int, int>>& bonds) {
  char buf[128];
  std::string s = name + "\r\n  test\r\n\r\n";
  std::snprintf(buf, sizeof buf, "%3d%3d  0  0  0  0  0  0  0  0999 V2000\r\n",
                static_cast<int>(symbols.size()), static_cast<int>(bonds.size()));
  s += buf;
  for (size_t i = 0; i < symbols.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0\r\n",
                  i * 1.0, (i % 2) * 0.5, 0.0, symbols[i].c_str());
    s += buf;
  }
  for (auto [a, b] : bonds) {
    std::snprintf(buf, sizeof buf, "%3d%3d  1  0\r\n", a, b);
    s += buf;
  }
  return s + "M  END\r\n";
}

// A carbon chain of n atoms, each carrying one hetero atom: the number of
// distinct walks, and so the key, grows fast with n.
std::string CombMol(const std::string& name, int n) {
  static const char* const kLeaves[] = {"C", "N", "O", "S", "P", "F", "Cl", "Br", "I", "Si"};
  std::vector<std::string> symbols(static_cast<size_t>(n), "C");
  std::vector<std::pair<int, int>> bonds;
  for (int i = 0; i < n; ++i) {
    symbols.push_back(kLeaves[(i * 7 + 3) % 10]);
    if (i + 1 < n) bonds.emplace_back(i + 1, i + 2);
    bonds.emplace_back(i + 1, n + i + 1);
  }
  return MolText(name, symbols, bonds);
}

// A recorder that lets a test look at the window while a command runs.
class WatchingUi : public RecordingUi {
 public:
  void ShowMessage(const std::string& text) override {
    if (onMessage) onMessage(text);
    RecordingUi::ShowMessage(text);
  }
  void Progress(int done, int total) override {
    RecordingUi::Progress(done, total);
    if (onProgress) onProgress();
  }
  std::function<void(const std::string&)> onMessage;
  std::function<void()> onProgress;
};

}  // namespace

class TourokuTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir;
  std::unique_ptr<WatchingUi> ui;
  std::unique_ptr<TfrmTouroku> w;
  std::string db;

  QString Text(const char* name) {
    if (auto* e = w->findChild<QLineEdit*>(name)) return e->text();
    if (auto* l = w->findChild<QLabel*>(name)) return l->text();
    return w->findChild<QPlainTextEdit*>(name)->toPlainText();
  }
  void Click(const char* name) { w->findChild<QPushButton*>(name)->click(); }
  QListWidget* List() { return w->findChild<QListWidget*>("ListBox1"); }
  std::string Path(const std::string& name) { return dir->path().toStdString() + "/" + name; }
  std::vector<CompoundRecord> Records() { return ParseRecords(ReadFileBytes(db)); }
  bool Said(const std::string& text) {
    return std::find(ui->messages.begin(), ui->messages.end(), text) != ui->messages.end();
  }
  void PrepareFile(const std::string& file) {
    PutOnClipboard("MDLCT", MdlctBlock(ReadFileBytes(file)));
    Click("Button1");
  }

 private slots:
  void init() {
    dir = std::make_unique<QTemporaryDir>();
    qputenv("TMP", dir->path().toLocal8Bit());
    db = Path("db.txt");
    WriteFileBytes(db, "");
    com_data() = ComData{};
    com_data().settings.mdatafilename = db;
    // Stored structures keep their MOL files here.
    com_data().settings.basedir1 = Path("mol");
    std::filesystem::create_directory(com_data().settings.basedir1);
    ui = std::make_unique<WatchingUi>();
    SetWindowUi(ui.get());
    w = std::make_unique<TfrmTouroku>();
    w->show();
  }
  void cleanup() {
    w.reset();
    SetWindowUi(nullptr);
    QApplication::clipboard()->clear();
  }

  void captionsAndBusyLabels() {
    QCOMPARE(w->windowTitle(), QStringLiteral("検索用データの作成・登録"));
    QCOMPARE(w->findChild<QPushButton*>("Button4")->text(), QStringLiteral("終　了(&X)"));
    for (const char* busy : {"Label8", "Label9"}) {
      auto* label = w->findChild<QLabel*>(busy);
      QVERIFY(label->isHidden());
      QVERIFY(label->font().bold());
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::red));
    }
    QVERIFY(w->findChild<QPlainTextEdit*>("Memo1")->isReadOnly());
  }

  void prepareShowsWhatThePipelineComputes() {
    const std::string file = kSampleMol + "aspirin.mol";
    const Computed expect = Pipeline(file);
    QVERIFY(!expect.key.empty());
    for (int viaText = 0; viaText < 2; ++viaText) {
      if (viaText) {
        PutOnClipboard("text/plain", QByteArray::fromStdString(ReadFileBytes(file)));
        Click("Button1");
      } else {
        PrepareFile(file);
      }
      QCOMPARE(Text("Edit6"), QString::fromStdString(expect.name + ".mol"));
      QCOMPARE(Text("Edit4"), QString::fromStdString(expect.formula));
      QCOMPARE(Text("Edit5"), QString::fromStdString(expect.weight));
      QCOMPARE(Text("Memo1"), QString::fromStdString(expect.key));
      QCOMPARE(Text("Edit3"), QString::number(expect.key.size()));
    }
    QVERIFY(ui->errors.empty());
  }

  void emptyClipboardKeepsThePreparedStructure() {
    PrepareFile(kSampleMol + "benzene.mol");
    QApplication::clipboard()->clear();
    Click("Button1");
    QVERIFY(Said("クリップボードにデータがありません"));
    QCOMPARE(Text("Edit6"), QStringLiteral("benzene.mol"));
  }

  void storeConfirmsRenamesAndRefusesDuplicates() {
    Click("Button2");  // nothing prepared yet
    QVERIFY(Said("検索用データがありません"));
    QVERIFY(Records().empty());

    PrepareFile(kSampleMol + "benzene.mol");
    ui->confirmAnswers = {1, 1};
    Click("Button2");
    // The same structure again: asked first (no: nothing more happens), then
    // the name is refused.
    ui->confirmYes = {false, true, true, true, true};
    Click("Button2");
    QCOMPARE(ui->questions.back(), SameStructureQuestion("benzene"));
    QCOMPARE(ui->confirmations.size(), size_t{1});
    Click("Button2");
    QCOMPARE(ui->messages.back(), std::string("既に登録されています"));
    QCOMPARE(Records().size(), size_t{1});
    const Computed expect = Pipeline(kSampleMol + "benzene.mol");
    const CompoundRecord r = Records()[0];
    QCOMPARE(r.name, std::string("benzene.mol"));
    QCOMPARE(r.weight, expect.weight);
    QCOMPARE(r.formula, expect.formula);
    QCOMPARE(r.key, expect.key);

    // A new name is cut at its first "."; the dialog shows the cut name next.
    ui->confirmAnswers = {2, 1};
    ui->inputAnswers = {std::string("kekule.ring.v2")};
    Click("Button2");
    QCOMPARE(ui->inputs.back(), std::string("コード入力|新しい化合物名を入力して下さい|benzene"));
    QCOMPARE(Records().back().name, std::string("kekule.mol"));
    Click("Button2");
    QCOMPARE(ui->confirmations.back(), std::string("kekule"));
    QCOMPARE(ui->messages.back(), std::string("既に登録されています"));

    // Letter case makes a different name.
    ui->confirmAnswers = {2};
    ui->inputAnswers = {std::string("Benzene")};
    Click("Button2");
    QCOMPARE(Records().size(), size_t{3});
    QCOMPARE(List()->count(), 3);
    QCOMPARE(List()->item(2)->text(), QStringLiteral("Benzene.mol"));
    QCOMPARE(ui->messages.back(), std::string("データを格納しました"));
  }

  void registeredFormsAreNamedAndTheSameStructureAsked() {
    WriteFileBytes(Path("ethanol.mol"), MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}));
    WriteFileBytes(Path("salt.mol"), MolText("salt", {"C", "C", "O", "Cl"}, {{1, 2}, {2, 3}}));
    PrepareFile(Path("ethanol.mol"));
    ui->confirmAnswers = {1, 1, 1};
    Click("Button2");
    QCOMPARE(Records().size(), size_t{1});
    QCOMPARE(Text("IdentityNote"), QString());
    // A salt of a registered compound: named in the message area, no question.
    PrepareFile(Path("salt.mol"));
    Click("Button2");
    QVERIFY(ui->questions.empty());
    QCOMPARE(Text("IdentityNote"), QString::fromStdString(RelatedCompoundsNote(
                                       "ethanol（" + std::string(kSaltFormRelation) + "）")));
    QCOMPARE(Records().size(), size_t{2});
    // The same structure again: asked, and "no" (the default) stores nothing.
    PrepareFile(Path("ethanol.mol"));
    QCOMPARE(Text("IdentityNote"), QString());  // a new structure, nothing said yet
    Click("Button2");
    QCOMPARE(ui->questions, std::vector<std::string>{SameStructureQuestion("ethanol")});
    QCOMPARE(Records().size(), size_t{2});
    QCOMPARE(ui->confirmations.size(), size_t{2});
  }

  void cancellingTheNameStoresNothing() {
    WriteFileBytes(Path("noname.mol"), MolText("", {"C", "O"}, {{1, 2}}));
    PrepareFile(Path("noname.mol"));
    Click("Button2");  // input box cancelled: no ".mol" record
    QCOMPARE(ui->inputs.back(), std::string("コード入力|化合物名を入力して下さい|"));
    ui->inputAnswers = {std::string(" ")};  // a blank name is none either
    Click("Button2");
    QCOMPARE(ui->messages.back(), std::string("化合物名「 」は空です。登録しませんでした"));
    PrepareFile(kSampleMol + "benzene.mol");
    ui->confirmAnswers = {2};
    Click("Button2");  // "名前を変更", then the new name cancelled
    QCOMPARE(ui->inputs.back(), std::string("コード入力|新しい化合物名を入力して下さい|benzene"));
    QVERIFY(Records().empty());
    QCOMPARE(List()->count(), 0);
    QVERIFY(std::filesystem::is_empty(com_data().settings.basedir1));
    // Names the batch would refuse are refused here too: line breaks, tabs,
    // and characters that come back from CP932 as other ones.
    PrepareFile(Path("noname.mol"));
    for (const char* bad : {"two\nlines", "tab\tbed", "a\u301Cb"}) {
      ui->inputAnswers = {std::string(bad)};
      Click("Button2");
      QVERIFY(ui->messages.back().find("登録しませんでした") != std::string::npos);
    }
    QVERIFY(Records().empty());
    ui->inputAnswers = {std::string("ok")};
    Click("Button2");
    QCOMPARE(Records().back().name, std::string("ok.mol"));
  }

  void storeKeepsTheMolFileAndShowsTheNewName() {
    for (int i = 0; i < 80; ++i) AppendRecord(db, "c" + std::to_string(i) + ".mol", "1", "C", "C");
    w->hide();
    w->show();
    const std::string molDir = com_data().settings.basedir1;
    PrepareFile(kSampleMol + "aspirin.mol");
    QVERIFY(w->findChild<EditorPanel*>("OleContainer1")->hasStructure());
    // What the window captured from the clipboard's block, name line kept.
    const std::string captured = *CaptureStructureFromClipboard(true, *ui);
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(ui->messages.back(), std::string("データを格納しました"));
    QCOMPARE(ReadFileBytes(molDir + "/aspirin.mol"), captured);
    // The new name is selected and in view at the end of a long list.
    QCOMPARE(List()->currentRow(), 80);
    QVERIFY(List()->currentItem()->isSelected());
    QVERIFY(List()->viewport()->rect().intersects(List()->visualItemRect(List()->currentItem())));

    // Another structure's file under the same name: kept, nothing stored.
    WriteFileBytes(molDir + "/phenol.mol", "somebody's phenol\r\n");
    PrepareFile(kSampleMol + "phenol.mol");
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(ui->messages.back(), MolFileClashMessage(molDir + "/phenol.mol"));
    QCOMPARE(ReadFileBytes(molDir + "/phenol.mol"), std::string("somebody's phenol\r\n"));
    QCOMPARE(Records().size(), size_t{81});
    QCOMPARE(List()->count(), 81);
  }

  void nameOutsideShiftJisStoresNothing() {
    PrepareFile(kSampleMol + "benzene.mol");
    ui->confirmAnswers = {2};
    ui->inputAnswers = {std::string("ring\xF0\x9F\x98\x80")};
    Click("Button2");
    QVERIFY(ui->messages.back().find("Shift-JIS") != std::string::npos);
    QVERIFY(Records().empty());
    QCOMPARE(List()->count(), 0);

    // A Japanese name is written as CP932 and listed as it was typed.
    ui->confirmAnswers = {2};
    ui->inputAnswers = {std::string("ベンゼン")};
    Click("Button2");
    QCOMPARE(Records().back().name, std::string("\x83\x78\x83\x93\x83\x5B\x83\x93.mol"));
    QCOMPARE(List()->item(0)->text(), QStringLiteral("ベンゼン.mol"));
  }

  void preparedValuesSurviveOtherUsesOfTheMolecule() {
    PrepareFile(kSampleMol + "benzene.mol");
    const Computed benzene = Pipeline(kSampleMol + "benzene.mol");
    // What a search or a hit display in the other window does to the molecule.
    Molecule& mol = com_data().molecule;
    QVERIFY(ReadMolFile(mol, kSampleMol + "caffeine.mol", *ui));
    CalcFormulaWeight(mol);
    com_data().keyfail = MakeStructureKey(mol, *ui).keyfail();
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(Records().back().name, std::string("benzene.mol"));
    QCOMPARE(Records().back().formula, benzene.formula);
    QCOMPARE(Records().back().key, benzene.key);
  }

  void listShowsOneEntryPerRecordAfterComingBack() {
    AppendRecord(db, "a.mol", "1.00", "C", "C");
    AppendRecord(db, "b.mol", "1.00", "C", "C");
    w->hide();
    w->show();
    QCOMPARE(List()->count(), 2);
    PrepareFile(kSampleMol + "benzene.mol");
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(List()->count(), 3);
    Click("Button4");
    QVERIFY(!w->isVisible());
    w->show();
    QCOMPARE(List()->count(), 3);
    QCOMPARE(w->namelist(), LoadNameList(db));
  }

  void databaseFileAndMolFolderChoosers() {
    AppendRecord(db, "a.mol", "1.00", "C", "C");
    w->hide();
    w->show();
    // "変更" asks: an existing file (the default), a new database, or neither.
    ui->choiceAnswers = {0, -1};
    ui->fileAnswers = {std::nullopt};
    Click("Button5");
    QCOMPARE(ui->questions.back(), std::string(kDatabaseChoiceQuestion));
    QCOMPARE(ui->messages.back(), std::string("no file name was found"));
    Click("Button5");  // the question closed
    QCOMPARE(ui->messages.back(), std::string("no file name was found"));
    QCOMPARE(com_data().settings.mdatafilename, db);

    // A file that does not exist: the setting changes, the list stays.
    ui->choiceAnswers = {0};
    ui->fileAnswers = {Path("missing.txt")};
    Click("Button5");
    QCOMPARE(ui->errors.size(), size_t{1});
    QCOMPARE(com_data().settings.mdatafilename, Path("missing.txt"));
    QCOMPARE(Text("Edit1"), QString::fromStdString(Path("missing.txt")));
    QCOMPARE(List()->count(), 1);

    WriteFileBytes(Path("other.txt"), "x.mol\r\n1\r\nC\r\nC\r\ny.mol\r\n1\r\nC\r\nC\r\n");
    ui->choiceAnswers = {0};
    ui->fileAnswers = {Path("other.txt")};
    Click("Button5");
    QCOMPARE(List()->count(), 2);

    // A new, empty database and its MOL folder, used at once; a store goes
    // into it. An existing file is never made anew.
    ui->choiceAnswers = {1, 1};
    ui->fileAnswers = {Path("fresh.txt"), Path("other.txt")};
    Click("Button5");
    QCOMPARE(ReadFileBytes(Path("fresh.txt")), std::string());
    QCOMPARE(com_data().settings.mdatafilename, Path("fresh.txt"));
    QCOMPARE(com_data().settings.basedir1, Path("fresh_mol"));
    QCOMPARE(Text("Edit2"), QString::fromStdString(Path("fresh_mol")));
    QCOMPARE(List()->count(), 0);
    QCOMPARE(ui->messages.back(), DatabaseCreatedMessage(Path("fresh.txt"), Path("fresh_mol")));
    PrepareFile(kSampleMol + "phenol.mol");
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(LoadNameList(Path("fresh.txt")), std::vector<std::string>{"phenol.mol"});
    QVERIFY(FileExists(Path("fresh_mol/phenol.mol")));
    Click("Button5");
    QCOMPARE(ui->messages.back(), DatabaseExistsMessage(Path("other.txt")));
    QCOMPARE(com_data().settings.mdatafilename, Path("fresh.txt"));

    ui->folderAnswers = {dir->path().toStdString(), std::nullopt};
    Click("Button7");
    QCOMPARE(com_data().settings.basedir1, dir->path().toStdString());
    Click("Button7");
    QCOMPARE(Text("Edit2"), QString());
    QCOMPARE(com_data().settings.basedir1, std::string());
  }

  void batchRegistrationOfAFolder() {
    namespace fs = std::filesystem;
    const std::string folder = Path("batch");
    fs::create_directories(folder + "/subfolder.mol");
    fs::copy_file(kSampleMol + "benzene.mol", folder + "/a.mol");
    fs::copy_file(kSampleMol + "phenol.mol", folder + "/PHENOL.MOL");
    fs::copy_file(kSampleMol + "ethanol.mol", folder + "/化合.mol");  // 4 bytes + ".mol"
    fs::copy_file(kSampleMol + "ethanol.mol", folder + "/化合");      // 4 bytes: skipped
    WriteFileBytes(folder + "/notes.txt", "just some notes\r\n");

    PrepareFile(kSampleMol + "caffeine.mol");
    const QString memo = Text("Memo1");
    ui->folderAnswers = {std::nullopt};
    Click("Button3");
    QCOMPARE(ui->messages.back(), std::string("Molファイルの在り場所が指定されていません"));

    // While the run goes on, the busy label and the count are on screen; the
    // closing message comes once the label has gone.
    auto* label8 = w->findChild<QLabel*>("Label8");
    QStringList shown;
    ui->onProgress = [&] {
      shown << (label8->isVisible() && label8->width() > 0 ? Text("LabelProgress") : "-");
    };
    bool busyAtEnd = true;
    ui->onMessage = [&](const std::string& text) {
      if (text.rfind("変換終了", 0) == 0) busyAtEnd = label8->isVisible();
    };
    ui->messages.clear();
    ui->folderAnswers = {folder};
    Click("Button3");
    ui->onProgress = nullptr;
    ui->onMessage = nullptr;
    QCOMPARE(shown.size(), 6);
    QCOMPARE(shown.front(), QStringLiteral("1 / 6"));
    QCOMPARE(shown.back(), QStringLiteral("6 / 6"));
    QVERIFY(!busyAtEnd);
    std::vector<std::string> names;
    for (const CompoundRecord& r : Records()) names.push_back(r.name);
    QCOMPARE(names, (std::vector<std::string>{"PHENOL.MOL", "a.mol", "\x89\xBB\x8D\x87.mol"}));
    // One closing message lists what was not registered: no box per file.
    QCOMPARE(ui->messages.size(), size_t{1});
    QVERIFY(ui->messages.back().rfind("変換終了", 0) == 0);
    QVERIFY(ui->messages.back().find("\nnotes.txt: ChemDrawのファイルではありません") !=
            std::string::npos);
    QVERIFY(w->findChild<QLabel*>("Label8")->isHidden());
    QCOMPARE(Text("Memo1"), memo);  // the prepared structure is untouched
    QCOMPARE(List()->count(), 3);

    // A second run finds everything registered, the upper-case name included.
    ui->messages.clear();
    ui->folderAnswers = {folder};
    Click("Button3");
    QCOMPARE(Records().size(), size_t{3});
    QCOMPARE(ui->messages.size(), size_t{1});
    QVERIFY(ui->messages.back().find("\nPHENOL.MOLは登録済みです\na.molは登録済みです") !=
            std::string::npos);

    // The store sees at once what the run added.
    ui->confirmAnswers = {2};
    ui->inputAnswers = {std::string("a")};
    Click("Button2");
    QCOMPARE(ui->messages.back(), std::string("既に登録されています"));
  }

  void sdImportShowsProgressAndStops() {
    namespace fs = std::filesystem;
    std::string sdf;
    for (const char* name : {"benzene.mol", "phenol.mol", "ethanol.mol"}) {
      sdf += ReadFileBytes(kSampleMol + name) + "$$$$\r\n";
    }
    WriteFileBytes(Path("in.sdf"), sdf);
    fs::create_directory(Path("mol"));
    com_data().settings.basedir1 = Path("mol");

    // The progress dialog is up while it runs; the closing message comes after.
    auto dialog = [&] { return w->findChild<QProgressDialog*>("ImportProgress"); };
    int shownWhileRunning = 0;
    ui->onProgress = [&] { shownWhileRunning += dialog() && dialog()->isVisible() ? 1 : 0; };
    bool barAtEnd = true;
    ui->onMessage = [&](const std::string&) { barAtEnd = dialog() && dialog()->isVisible(); };
    ui->fileAnswers = {Path("in.sdf")};
    Click("ImportSdButton");
    QVERIFY(shownWhileRunning > 0);
    QVERIFY(!barAtEnd);
    QCOMPARE(ui->messages.back(), std::string("SDファイルの登録を終了しました"));
    QCOMPARE(Records().size(), size_t{3});
    QCOMPARE(List()->count(), 3);
    QVERIFY(fs::exists(Path("mol/benzene.mol")));

    // "中止" at the first progress report: the run ends and says so.
    sdf.clear();
    for (int i = 0; i < 5; ++i) {
      sdf += "new" + std::to_string(i) + ReadFileBytes(kSampleMol + "benzene.mol").substr(7) +
             "$$$$\r\n";
    }
    WriteFileBytes(Path("in.sdf"), sdf);
    ui->onProgress = [&] {
      if (dialog() && dialog()->isVisible()) dialog()->findChild<QPushButton*>()->click();
    };
    ui->onMessage = nullptr;
    ui->fileAnswers = {Path("in.sdf")};
    Click("ImportSdButton");
    ui->onProgress = nullptr;
    QVERIFY(ui->messages.back().rfind("SDファイルの登録を中止しました", 0) == 0);
    QVERIFY(Records().size() < size_t{8});
    QVERIFY(dialog() == nullptr);
  }

  void batchRunCanBeStopped() {
    namespace fs = std::filesystem;
    const std::string folder = Path("many");
    fs::create_directories(folder);
    for (const char* n : {"aniline", "benzene", "ethanol", "phenol", "toluene"}) {
      fs::copy_file(kSampleMol + n + ".mol", folder + "/" + n + ".mol");
    }
    QProgressDialog* progress = nullptr;
    ui->onProgress = [&] {  // after the first file: the dialog's cancel button
      progress = w->findChild<QProgressDialog*>("BatchProgress");
      if (progress != nullptr && progress->isVisible()) {
        progress->findChild<QPushButton*>()->click();
      }
    };
    ui->folderAnswers = {folder};
    Click("Button3");
    ui->onProgress = nullptr;
    QVERIFY(progress != nullptr);
    QCOMPARE(Records().size(), size_t{1});  // what was stored stays
    QCOMPARE(Records()[0].name, std::string("aniline.mol"));
    QCOMPARE(ui->messages.back(), BatchStoppedMessage(1));
    QCOMPARE(List()->count(), 1);
    QVERIFY(w->findChild<QLabel*>("Label8")->isHidden());
    QVERIFY(w->findChild<QProgressDialog*>("BatchProgress") == nullptr);
  }

  void deletionRemovesEveryRecordOfTheName() {
    AppendRecord(db, "x.mol", "1.00", "C", "C");
    AppendRecord(db, "y.mol", "2.00", "C2", "C-C");
    AppendRecord(db, "x.mol", "3.00", "C3", "C-C-C");
    w->hide();
    w->show();
    Click("Button6");  // nothing selected
    QCOMPARE(ui->messages.back(), std::string("削除する化合物がリストで選ばれていません"));
    QCOMPARE(Records().size(), size_t{3});

    // A database that cannot be rewritten: the list keeps the entry.
    com_data().settings.mdatafilename = Path("gone.txt");
    List()->setCurrentRow(2);
    Click("Button6");
    QCOMPARE(ui->errors.size(), size_t{1});
    QCOMPARE(List()->count(), 3);
    QVERIFY(w->findChild<QLabel*>("Label9")->isHidden());

    com_data().settings.mdatafilename = db;
    ui->messages.clear();
    Click("Button6");  // asked, and the answer is no
    QCOMPARE(ui->questions.back(), DeleteQuestion("x.mol", 2));
    QCOMPARE(Records().size(), size_t{3});
    QCOMPARE(List()->count(), 3);
    ui->confirmYes = {true};
    Click("Button6");
    QCOMPARE(ui->messages, (std::vector<std::string>{"x.molを削除しました"}));
    QCOMPARE(Records().size(), size_t{1});
    QCOMPARE(Records()[0].name, std::string("y.mol"));
    QCOMPARE(List()->count(), 1);
    QCOMPARE(List()->item(0)->text(), QStringLiteral("y.mol"));
    QVERIFY(w->findChild<QLabel*>("Label9")->isHidden());
  }

  void longKeyIsCountedNotShownAndStoredWhole() {
    WriteFileBytes(Path("comb68.mol"), CombMol("comb68", 68));
    const Computed expect = Pipeline(Path("comb68.mol"));
    QVERIFY2(expect.key.size() >= 60000, "the test molecule must give a key of 60000+");
    PrepareFile(Path("comb68.mol"));
    QCOMPARE(Text("Memo1"), QStringLiteral("too many bytes"));
    QCOMPARE(Text("Edit3"), QString::number(expect.key.size()));
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(Records().back().key, expect.key);
  }

  void failedKeyRefusesTheStore() {
    PrepareFile(kSampleMol + "benzene.mol");
    WriteFileBytes(Path("comb72.mol"), CombMol("comb72", 72));
    PrepareFile(Path("comb72.mol"));
    QVERIFY2(!ui->messages.empty(), "the test molecule must be too large for a key");
    const std::string reason = ui->messages.back();
    QCOMPARE(Text("Edit6"), QStringLiteral("comb72.mol"));
    QCOMPARE(Text("Memo1"), QString());  // no stale key of another molecule
    ui->confirmAnswers = {1};
    Click("Button2");
    QCOMPARE(ui->messages.back(), reason);
    QVERIFY(ui->confirmations.empty());
    QVERIFY(Records().empty());
  }

  // A structure drawn in the panel is what "構造データの作成" prepares, even
  // with another on the clipboard; unnamed, it is stored under the name
  // asked for and keeps the drawing's MOL file.
  void drawnStructureIsPreparedAndStored() {
    auto* panel = w->findChild<EditorPanel*>("OleContainer1");
    PutOnClipboard("MDLCT", MdlctBlock(ReadFileBytes(kSampleMol + "aspirin.mol")));
    panel->canvas()->edit([](Sketch& s) {
      return s.AddRing({0, 0}, 6, true) &&
             s.AddBondAt(s.doc().atoms[0].pos, s.FreeBondEnd(0), 1, kStereoNone, "O") >= 0;
    });
    const SketchDoc drawn = panel->sketch().doc();
    Click("Button1");
    const Computed phenol = Pipeline(kSampleMol + "phenol.mol");
    QCOMPARE(Text("Edit6"), QStringLiteral(".mol"));
    QCOMPARE(Text("Edit4"), QString::fromStdString(phenol.formula));
    QCOMPARE(Text("Edit5"), QString::fromStdString(phenol.weight));
    QVERIFY(!Text("Memo1").isEmpty());
    QCOMPARE(panel->sketch().doc(), drawn);

    ui->inputAnswers = {std::string("drawn")};
    Click("Button2");
    QCOMPARE(ui->messages.back(), std::string("データを格納しました"));
    QCOMPARE(Records().back().name, std::string("drawn.mol"));
    QCOMPARE(Records().back().key, Text("Memo1").toStdString());
    const std::string molFile = ReadFileBytes(com_data().settings.basedir1 + "/drawn.mol");
    QCOMPARE(molFile, panel->structureText(true));
    QCOMPARE(Pipeline(com_data().settings.basedir1 + "/drawn.mol").key, Records().back().key);
  }

  void structureFromAChosenOrDroppedFile() {
    ui->fileAnswers = {kSampleMol + "phenol.mol"};
    Click("OpenMolButton");
    QCOMPARE(Text("Edit6"), QStringLiteral("phenol.mol"));
    QCOMPARE(Text("Edit4"), QString::fromStdString(Pipeline(kSampleMol + "phenol.mol").formula));

    // The panel reports a dropped file; the window prepares from it.
    auto* panel = w->findChild<EditorPanel*>("OleContainer1");
    emit panel->molFileDropped(QString::fromStdString(kSampleMol + "aniline.mol"));
    QCOMPARE(Text("Edit6"), QStringLiteral("aniline.mol"));
    QCOMPARE(w->findChild<QLabel*>("Label10")->text(), QStringLiteral("ISIS Draw Window"));
  }

  void registeredCompoundIsFoundByTheSearchWindow() {
    // The search draws the hit from the MOL file the store put in the folder.
    PrepareFile(kSampleMol + "phenol.mol");
    ui->confirmAnswers = {1};
    Click("Button2");
    PrepareFile(kSampleMol + "ethanol.mol");
    ui->confirmAnswers = {1};
    Click("Button2");

    // A benzene ring as the query: phenol matches, ethanol does not.
    TfrmMain search;
    search.show();
    PutOnClipboard("MDLCT", MdlctBlock(ReadFileBytes(kSampleMol + "benzene.mol")));
    search.findChild<QPushButton*>("Button4")->click();
    QCOMPARE(search.findChild<QLineEdit*>("Edit5")->text(), QStringLiteral("1"));
    QCOMPARE(search.findChild<QLineEdit*>("Edit3")->text(), QStringLiteral("phenol.mol"));
    QCOMPARE(search.findChild<QLineEdit*>("Edit1")->text(),
             QString::fromStdString(Pipeline(kSampleMol + "phenol.mol").formula));
    QVERIFY(ui->errors.empty());
  }

  void confirmationDialogResults() {
    TfrmInpCode dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("化合物名確認"));
    auto press = [&dialog](const char* button) {
      QTimer::singleShot(0, &dialog, [&dialog, button] {
        if (button) {
          dialog.findChild<QPushButton*>(button)->click();
        } else {
          dialog.reject();  // closing by the frame
        }
      });
    };
    press("Button1");
    QCOMPARE(dialog.ShowModalWithName("benzene"), 1);
    QCOMPARE(dialog.findChild<QLabel*>("Label2")->text(), QStringLiteral("benzene"));
    press("Button2");
    QCOMPARE(dialog.ShowModalWithName("benzene"), 2);
    press(nullptr);
    QCOMPARE(dialog.ShowModalWithName("benzene"), 2);
  }
};

QTEST_MAIN(TourokuTest)
#include "touroku_qt_test.moc"
