// Pictures of the desktop program for the README: the menu, the search window
// with a sample query in its panel and a hit with the matched atoms
// highlighted, hits with charges and with a long chain, the same window with a
// query drawn in its panel and a hit,
// Qt's Japanese file dialog, the registration window during a batch run with
// its progress dialog, and the sketcher panel with a drawn structure. Run in the sample workspace
// (where vuduzez.ini is), under a virtual X server or offscreen:
//   vuduzez_screenshots OUTDIR [QUERY.mol [HIT_NAME]]
// The file dialog goes to $VUDUZEZ_EXTRA_SHOTS when that is set (it is a
// check that Qt speaks Japanese, not a README picture).
// The batch run registers sample/mol into a scratch database in a private
// temporary folder; the sample database is never written.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <string>

#include "gui/TfrmInpCode.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/sketch_widget.h"
#include "gui/structure_input_qt.h"
#include "gui/ui_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace {

// Messages go to stderr: nobody is there to close a box.
class StderrUi : public vuduzez::Ui {
 public:
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "error: %s\n", text.c_str());
  }
  std::optional<std::string> BrowseFolder(const std::string&) override { return folder; }
  void Progress(int done, int total) override {
    if (onProgress) onProgress(done, total);
  }
  bool StopRequested() const override { return stop; }

  std::string folder;  // what the folder browser answers
  std::function<void(int, int)> onProgress;
  bool stop = false;
};

// The structure as the editor puts it on the clipboard.
std::string EditorBlock(const std::string& molText) {
  std::string block;
  vuduzez::LineReader lines(molText);
  while (!lines.AtEnd()) {
    std::string_view line = lines.Next();
    block += static_cast<char>(line.size());
    block += line;
  }
  return block;
}

bool Save(const QImage& image, const QString& path) {
  if (!image.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

bool Save(QWidget& w, const QString& path) { return Save(w.grab().toImage(), path); }

// A window with a dialog over it, as the screen shows them.
QImage WithDialog(QWidget& window, QWidget& dialog) {
  QImage image = window.grab().toImage();
  QPainter painter(&image);
  const QPixmap over = dialog.grab();
  const QPoint at((image.width() - over.width()) / 2, (image.height() - over.height()) / 3);
  painter.setPen(Qt::darkGray);
  painter.drawRect(QRect(at, over.size()).adjusted(-1, -1, 0, 0));
  painter.drawPixmap(at, over);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vuduzez;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTDIR [QUERY.mol [HIT_NAME]]\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::string query = argc > 2 ? argv[2] : "queries/benzene_ring.mol";
  const QString hit = QString::fromLocal8Bit(argc > 3 ? argv[3] : "aspirin") + ".mol";
  QDir().mkpath(out);
  SetupFonts();
  if (!SetupJapaneseDialogs()) std::fprintf(stderr, "Qt's Japanese translations not found\n");
  StderrUi ui;
  SetWindowUi(&ui);

  TfrmMenu menu;
  forms().frmMenu = &menu;
  TfrmMain search;
  forms().frmMain = &search;
  TfrmTouroku touroku;
  forms().frmTouroku = &touroku;
  TfrmInpCode inpCode;
  forms().frmInpCode = &inpCode;
  ConnectForms(forms());

  menu.show();
  app.processEvents();
  bool ok = Save(menu, out + "/menu.png");

  menu.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
  auto* data = new QMimeData;
  data->setData(QStringLiteral("MDLCT"),
                QByteArray::fromStdString(EditorBlock(ReadFileBytes(query))));
  QGuiApplication::clipboard()->setMimeData(data);
  // Atom by atom, so that the hit shows the matched atoms.
  search.findChild<QAbstractButton*>(QStringLiteral("CheckBox1"))->setChecked(true);
  search.Button4Click();
  auto* name = search.findChild<QLineEdit*>(QStringLiteral("Edit3"));
  for (int i = 1; i < search.searchState().hitcount && name->text() != hit; ++i) {
    search.Button6Click();
  }
  app.processEvents();
  ok = Save(search, out + "/search.png") && ok;

  // Hits drawn true to shape with their charges: nitrobenzene finds
  // chloramphenicol (N+ and O- of its nitro group), hexane capsaicin (a long
  // chain beside a ring).
  auto searchFor = [&](const std::string& queryFile, const QString& hitName) {
    auto* block = new QMimeData;
    block->setData(QStringLiteral("MDLCT"),
                   QByteArray::fromStdString(EditorBlock(ReadFileBytes(queryFile))));
    QGuiApplication::clipboard()->setMimeData(block);
    search.findChild<EditorPanel*>(QStringLiteral("OleContainer1"))->clear();
    search.Button4Click();
    for (int i = 1; i < search.searchState().hitcount && name->text() != hitName; ++i) {
      search.Button6Click();
    }
    app.processEvents();
  };
  searchFor("mol/nitrobenzene.mol", QStringLiteral("chloramphenicol.mol"));
  ok = Save(search, out + "/search_charges.png") && ok;
  searchFor("mol/hexane.mol", QStringLiteral("capsaicin.mol"));
  ok = Save(search, out + "/search_chain.png") && ok;

  // The compounds most like aspirin, ranked, each hit with its score.
  auto* threshold = search.findChild<QDoubleSpinBox*>(QStringLiteral("ThresholdBox"));
  search.findChild<QAbstractButton*>(QStringLiteral("ModeSimilar"))->setChecked(true);
  threshold->setValue(0.3);
  searchFor("mol/aspirin.mol", QStringLiteral("salicylic_acid.mol"));
  ok = Save(search, out + "/search_similar.png") && ok;
  threshold->setValue(kDefaultSimilarity);
  search.findChild<QAbstractButton*>(QStringLiteral("CheckBox1"))->setChecked(true);

  // The database file chooser: Qt's own dialog, in Japanese.
  {
    QFileDialog chooser(&search, QString(), QDir::currentPath(), QtFileFilter(kDatabaseFileFilter));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.resize(760, 420);
    chooser.show();
    app.processEvents();
    const QString extra = qEnvironmentVariable("VUDUZEZ_EXTRA_SHOTS", out);
    QDir().mkpath(extra);
    ok = Save(chooser, extra + "/file_dialog.png") && ok;
  }

  // A query drawn in the search window's panel (an aryl acetate: the benzene
  // template, bonds grown from its atoms) and a hit of it.
  auto grow = [](SketchCanvas* canvas, int atom, int order, const char* symbol) {
    canvas->edit([&](Sketch& s) {
      return s.AddBondAt(s.doc().atoms[atom].pos, s.FreeBondEnd(atom), order, kStereoNone,
                         symbol) >= 0;
    });
  };
  auto* panel = search.findChild<EditorPanel*>(QStringLiteral("OleContainer1"));
  panel->clear();
  SketchCanvas* drawing = panel->canvas();
  drawing->edit([](Sketch& s) { return s.AddRing({0, 0}, 6, true); });
  grow(drawing, 0, 1, "O");
  grow(drawing, 6, 1, "C");
  grow(drawing, 7, 2, "O");
  grow(drawing, 7, 1, "C");
  drawing->fitToView();
  search.Button4Click();
  for (int i = 1; i < search.searchState().hitcount && name->text() != hit; ++i) {
    search.Button6Click();
  }
  app.processEvents();
  ok = Save(search, out + "/drawn_query.png") && ok;
  search.close();

  // A batch run over the sample MOL files into a scratch database, pictured
  // half-way with its progress dialog, then stopped.
  // A private folder: nothing with a fixed name in a shared one.
  QTemporaryDir scratch;
  const std::string scratchDb = ScratchPath(scratch.path().toStdString(), "screenshot_db.txt");
  WriteFileBytes(scratchDb, "");
  com_data().settings.mdatafilename = scratchDb;
  ui.folder = QDir::current().absoluteFilePath(QStringLiteral("mol")).toStdString();
  menu.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
  touroku.resize(900, 560);
  auto* prepared = new QMimeData;
  prepared->setData(
      QStringLiteral("MDLCT"),
      QByteArray::fromStdString(EditorBlock(ReadFileBytes("mol/" + hit.toStdString()))));
  QGuiApplication::clipboard()->setMimeData(prepared);
  touroku.Button1Click();
  bool pictured = false;
  ui.onProgress = [&](int done, int total) {
    if (pictured || done < total / 2) return;
    auto* progress = touroku.findChild<QProgressDialog*>(QStringLiteral("BatchProgress"));
    if (progress == nullptr) return;
    app.processEvents();
    pictured = Save(WithDialog(touroku, *progress), out + "/batch.png");
    ui.stop = true;
  };
  touroku.Button3Click();
  ok = pictured && ok;

  // Paracetamol drawn as a user would: the benzene template, then bonds
  // grown from its atoms.
  SketchWidget sketch;
  sketch.setGeometry(200, 200, 350, 245);  // away from the pointer
  sketch.show();
  SketchCanvas* canvas = sketch.canvas();
  canvas->edit([](Sketch& s) { return s.AddRing({0, 0}, 6, true); });
  grow(canvas, 0, 1, "N");
  grow(canvas, 6, 1, "C");
  grow(canvas, 7, 2, "O");
  grow(canvas, 7, 1, "C");
  grow(canvas, 3, 1, "O");
  canvas->fitToView();
  app.processEvents();
  ok = Save(sketch, out + "/sketch.png") && ok;

  SetWindowUi(nullptr);
  forms() = Forms{};
  return ok ? 0 : 1;
}
