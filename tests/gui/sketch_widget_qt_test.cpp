// The sketcher panel driven offscreen by mouse events, keys and its own calls:
// what is drawn must reach the system's reader and key as the structure meant.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "gui/sketch_widget.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/messages.h"
#include "sketch/sketch_mol.h"
#include "support/gui_test_support.h"
#include "support/mol_text.h"
#include "support/recording_ui.h"

using namespace vuduzez;
using namespace vuduzez::testsupport;

namespace {

struct Keyed {
  std::string formula;
  std::string key;
  std::unique_ptr<Molecule> mol = std::make_unique<Molecule>();
};

Keyed KeyOf(const std::string& molText) {
  Keyed k;
  RecordingUi ui;
  if (!ReadMolText(*k.mol, molText, ui)) return k;
  CalcFormulaWeight(*k.mol);
  MakeStructureKey(*k.mol, ui);
  k.formula = k.mol->molformula;
  k.key = k.mol->keydata;
  return k;
}

// The path codes of a key, sorted.
std::vector<std::string> Codes(const std::string& key) {
  std::vector<std::string> codes;
  for (const QString& c : QString::fromStdString(key).split(QLatin1Char('/'))) {
    codes.push_back(c.toStdString());
  }
  std::sort(codes.begin(), codes.end());
  return codes;
}

}  // namespace

class SketchWidgetTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SketchWidget> w_;
  RecordingUi ui_;

  SketchCanvas* canvas() const { return w_->canvas(); }
  QPoint at(int atom) const {
    return canvas()->toScreen(w_->sketch().doc().atoms[atom].pos).toPoint();
  }
  QPoint midBond(int bond) const {
    const auto& b = w_->sketch().doc().bonds[bond];
    return (at(b.atom1) + at(b.atom2)) / 2;
  }
  void press(const char* button) {
    auto* b = w_->findChild<QToolButton*>(QString::fromLatin1(button));
    QVERIFY2(b != nullptr, button);
    QTest::mouseClick(b, Qt::LeftButton);
  }
  void drag(QPoint from, QPoint to) {
    QTest::mousePress(canvas(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(canvas(), (from + to) / 2);
    QTest::mouseMove(canvas(), to);
    canvas()->grab();  // paints the preview
    QTest::mouseRelease(canvas(), Qt::LeftButton, Qt::NoModifier, to);
  }
  void hover(QPoint p) { QTest::mouseMove(canvas(), p); }

 private slots:
  void init() {
    ui_ = RecordingUi();
    SetWindowUi(&ui_);
    w_ = std::make_unique<SketchWidget>();
    w_->resize(350, 245);
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
  }
  void cleanup() {
    w_.reset();
    SetWindowUi(nullptr);
  }

  // Benzene from the template, an O dragged from one of its atoms: phenol.
  void phenolFromTemplateAndOh() {
    press("sketchBenzene");
    hover(QPoint(160, 100));
    canvas()->grab();  // the template's preview
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(160, 100));
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(6));
    press("sketchElement_O");
    drag(at(0), at(0) + QPoint(2, -40));
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(7));
    QCOMPARE(w_->sketch().doc().atoms[6].symbol, std::string("O"));

    const Keyed drawn = KeyOf(w_->molText());
    const Keyed phenol = KeyOf(SampleMol("phenol"));
    QCOMPARE(drawn.formula, std::string("C6H6O"));
    QVERIFY(!phenol.key.empty());
    QCOMPARE(drawn.key, phenol.key);
  }

  // A drag on from empty space with the single bond: a chain of three
  // carbons, propane; the same by the sketcher's own calls.
  void propaneByChainDrag() {
    press("sketchBond1");
    drag(QPoint(100, 120), QPoint(154, 121));
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(3));
    const std::string propane = testing::MolText("propane", testing::Atoms(3), {{1, 2}, {2, 3}});
    QCOMPARE(KeyOf(w_->molText()).key, KeyOf(propane).key);
    QCOMPARE(KeyOf(w_->molText()).formula, std::string("C3H8"));

    w_->clear();
    canvas()->edit([](Sketch& s) { return s.AddChain(ChainPoints({0, 0}, {2.7, 0})); });
    QCOMPARE(KeyOf(w_->molText()).key, KeyOf(propane).key);
    // A short drag from an atom is one bond at a 30-degree step.
    drag(at(2), at(2) + QPoint(30, 3));
    QCOMPARE(KeyOf(w_->molText()).formula, std::string("C4H10"));
    const auto& d = w_->sketch().doc();
    QCOMPARE(d.atoms[3].pos.y, d.atoms[2].pos.y);
  }

  // A ring placed on a bond is fused there: the bond's atoms are shared. On
  // an atom it shares that atom.
  void ringsFuseOnBondsAndShareAtoms() {
    press("sketchBenzene");
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 100));
    press("sketchRing5");
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, midBond(4));
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(9));
    QCOMPARE(w_->sketch().doc().bonds.size(), size_t(10));
    const Keyed indane = KeyOf(w_->molText());
    QCOMPARE(indane.formula, std::string("C9H10"));
    int fusion = 0;
    for (int i = 1; i <= indane.mol->atmcount; ++i) fusion += indane.mol->atmdata[i].degree == 3;
    QCOMPARE(fusion, 2);

    press("sketchRing3");
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, at(7));
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(11));
    QCOMPARE(w_->sketch().Neighbours(7).size(), size_t(4));
  }

  // Element letters, charges, bond orders and wedges from the keyboard and
  // the tools, and undo/redo of each, all as the reader reads them.
  void chargesWedgesUndoRedoThroughTheReader() {
    press("sketchBond1");
    drag(QPoint(100, 120), QPoint(130, 121));  // ethane
    hover(at(1));
    QTest::keyClick(canvas(), 'c');
    QTest::keyClick(canvas(), 'l');  // Cl in one step
    QCOMPARE(w_->sketch().doc().atoms[1].symbol, std::string("Cl"));
    QTest::keyClick(canvas(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w_->sketch().doc().atoms[1].symbol, std::string("C"));
    QTest::keyClick(canvas(), 'n');
    QTest::keyClick(canvas(), '+');
    press("sketchWedge");
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, midBond(0));
    const std::string drawn = w_->molText();
    Keyed k = KeyOf(drawn);
    QCOMPARE(k.mol->atmdata[2].symbol, std::string("N"));
    QCOMPARE(k.mol->posdata[2].charge, 3);
    QCOMPARE(k.mol->bnddata[1].stereo, std::string("1"));

    QTest::keyClick(canvas(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(KeyOf(w_->molText()).mol->bnddata[1].stereo, std::string("0"));
    QTest::keyClick(canvas(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w_->molText(), drawn);

    // Over a bond 2 and 3 set its order; Delete over an atom removes it.
    hover(midBond(0));
    QTest::keyClick(canvas(), '3');
    QCOMPARE(KeyOf(w_->molText()).mol->bnddata[1].order, 3);
    press("sketchChargeMinus");
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, at(1));
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, at(1));
    QCOMPARE(KeyOf(w_->molText()).mol->posdata[2].charge, 5);  // +1, 0, -1
    hover(at(0));
    QTest::keyClick(canvas(), Qt::Key_Delete);
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(1));
    QVERIFY(ui_.messages.empty());
  }

  // Ctrl+C puts an "MDLCT" block that the capture turns into the same MOL
  // file; Ctrl+V takes a block or MOL text and shows it.
  void clipboardRoundTrips() {
    press("sketchBenzene");
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    canvas()->edit([](Sketch& s) { return s.ChangeCharge(0, -1); });
    QTest::keyClick(canvas(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data->hasFormat(QStringLiteral("MDLCT")));
    QVERIFY(data->hasText());
    const std::optional<std::string> captured = CaptureStructureFromClipboard(true, ui_);
    QVERIFY(captured.has_value());
    const Keyed fromClipboard = KeyOf(*captured), fromPanel = KeyOf(w_->molText());
    QCOMPARE(fromClipboard.key, fromPanel.key);
    QCOMPARE(fromClipboard.mol->posdata[1].charge, 5);

    w_->clear();
    SetClipboardBlock(MdlctBlock(SampleMol("phenol")));
    QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(KeyOf(w_->molText()).key, KeyOf(SampleMol("phenol")).key);
    QVERIFY(!canvas()->findChild<QLabel*>(QStringLiteral("EditorLabel"))->isVisible());
    SetClipboardText(AnsiToUtf8(SampleMol("benzene")));
    QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);  // beside the phenol
    QCOMPARE(KeyOf(w_->molText()).formula, std::string("C12H12O"));
    ClearClipboard();
    QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ui_.messages, std::vector<std::string>{kClipboardEmpty});

    // A SMILES is laid out and keys like the drawn structure (the same path
    // codes; their order follows the atoms').
    w_->clear();
    SetClipboardText("Oc1ccccc1 phenol\n");
    QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Codes(KeyOf(w_->molText()).key), Codes(KeyOf(SampleMol("phenol")).key));
    SetClipboardText("C1CC(");
    QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ui_.messages.size(), size_t(2));
    QVERIFY(ui_.messages[1].rfind("SMILES", 0) == 0);
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(7));
  }

  // The interface the windows use, and the panel's old behaviour.
  void panelInterface() {
    QSignalSpy changed(w_.get(), &SketchWidget::changed);
    QVERIFY(w_->isEmpty());
    QVERIFY(canvas()->findChild<QLabel*>(QStringLiteral("EditorLabel"))->isVisible());
    QVERIFY(w_->setMolText(SampleMol("aspirin"), ui_));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(KeyOf(w_->molText()).key, KeyOf(SampleMol("aspirin")).key);
    // Loaded while hidden, it is fitted once shown.
    SketchWidget hidden;
    QVERIFY(hidden.setMolText(SampleMol("aspirin"), ui_));
    hidden.resize(350, 245);
    hidden.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hidden));
    QCOMPARE(hidden.canvas()->scale(), w_->canvas()->scale());
    // A refused text leaves the drawing as it was.
    QVERIFY(!w_->setMolText("x\r\n\r\n\r\n  1  0  0  0  0  0  0  0  0  0999 v2000\r\n", ui_));
    QCOMPARE(ui_.messages, std::vector<std::string>{kNotV2000Message});
    QCOMPARE(KeyOf(w_->molText()).key, KeyOf(SampleMol("aspirin")).key);

    // A molecule without coordinates is laid out.
    Keyed flat = KeyOf(testing::MolText("x", {"C", "C", "O"}, {{1, 2}, {2, 3}}));
    for (int i = 1; i <= 3; ++i) flat.mol->atmdata[i].x = flat.mol->atmdata[i].y = 0;
    w_->setMolecule(*flat.mol);
    const auto& d = w_->sketch().doc();
    QVERIFY(std::hypot(d.atoms[0].pos.x - d.atoms[1].pos.x, d.atoms[0].pos.y - d.atoms[1].pos.y) >
            1.0);
    w_->clear();
    QVERIFY(w_->isEmpty());

    // Double-click on the empty panel starts an editor and leaves no atom.
    const QByteArray oldPath = qgetenv("PATH");
    QTemporaryDir bin;
    qputenv("PATH", bin.path().toLocal8Bit());
    ui_.messages.clear();
    // As windowing systems send it: click, then the double-click with or
    // without a second press before it, 100 ms apart.
    const QPoint p(100, 100);
    quint64 time = 1000000;
    auto send = [&](QEvent::Type type) {
      QMouseEvent e(type, p, canvas()->mapToGlobal(p), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                    Qt::NoModifier);
      e.setTimestamp(time += 100);
      QApplication::sendEvent(canvas(), &e);
    };
    for (bool secondPress : {false, true}) {
      send(QEvent::MouseButtonPress);
      send(QEvent::MouseButtonRelease);
      QVERIFY(!w_->isEmpty());
      if (secondPress) send(QEvent::MouseButtonPress);
      send(QEvent::MouseButtonDblClick);
      send(QEvent::MouseButtonRelease);
      QVERIFY(w_->isEmpty());
      time += 1000;
    }
    qputenv("PATH", oldPath);
    QVERIFY(w_->isEmpty());
    QCOMPARE(ui_.messages.size(), size_t(2));  // no editor installed here: how to get one
    QVERIFY(ui_.messages[0].find("apt-get install") != std::string::npos);
    // On a drawing a double-click starts nothing.
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, p + QPoint(40, 0));
    QTest::mouseDClick(canvas(), Qt::LeftButton, Qt::NoModifier, p + QPoint(40, 0));
    QCOMPARE(w_->sketch().doc().atoms.size(), size_t(2));
    QCOMPARE(ui_.messages.size(), size_t(2));
  }
};

QTEST_MAIN(SketchWidgetTest)
#include "sketch_widget_qt_test.moc"
