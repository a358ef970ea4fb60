// Pictures of the desktop program for the README, made without a display:
// the menu, the search window showing a hit of a sample query, and the
// sketcher panel with a drawn structure. Run in the sample workspace (where
// vuduzez.ini is):
//   vuduzez_screenshots OUTDIR [QUERY.mol [HIT_NAME]]
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <cstdio>
#include <string>

#include "gui/TfrmInpCode.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/sketch_widget.h"
#include "gui/ui_qt.h"
#include "gui/window_ui.h"
#include "platform/files.h"
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

bool Save(QWidget& w, const QString& path) {
  if (!w.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
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
  search.Button4Click();
  auto* name = search.findChild<QLineEdit*>(QStringLiteral("Edit3"));
  for (int i = 1; i < search.searchState().hitcount && name->text() != hit; ++i) {
    search.Button6Click();
  }
  app.processEvents();
  ok = Save(search, out + "/search.png") && ok;

  // Paracetamol drawn as a user would: the benzene template, then bonds
  // grown from its atoms.
  SketchWidget sketch;
  sketch.setGeometry(200, 200, 350, 245);  // away from the pointer
  sketch.show();
  SketchCanvas* canvas = sketch.canvas();
  auto grow = [&](int atom, int order, const char* symbol) {
    canvas->edit([&](Sketch& s) {
      return s.AddBondAt(s.doc().atoms[atom].pos, s.FreeBondEnd(atom), order, kStereoNone,
                         symbol) >= 0;
    });
  };
  canvas->edit([](Sketch& s) { return s.AddRing({0, 0}, 6, true); });
  grow(0, 1, "N");
  grow(6, 1, "C");
  grow(7, 2, "O");
  grow(7, 1, "C");
  grow(3, 1, "O");
  canvas->fitToView();
  app.processEvents();
  ok = Save(sketch, out + "/sketch.png") && ok;

  SetWindowUi(nullptr);
  forms() = Forms{};
  return ok ? 0 : 1;
}
