// The Qt picture of a structure: its size, its text cells, failure handling,
// and one stored PNG per kind of bond (carbon only, so no font is involved).
// VUDUZEZ_UPDATE_GOLDEN=1 rewrites the PNG files.
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QPicture>
#include <QtTest>
#include <string>
#include <vector>

#include "depict/depict.h"
#include "depict/recording_canvas.h"
#include "gui/canvas_qt.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "support/recording_sink.h"

using namespace vuduzez;

namespace {

struct Atom {
  double x;
  double y;
  const char* symbol = "C";
};

struct Bond {
  int a1;
  int a2;
  int order = 1;
  int stereo = 0;
};

Molecule Make(const std::vector<Atom>& atoms, const std::vector<Bond>& bonds) {
  char buf[128];
  std::string text = "pic.mol\n\n\n";
  std::snprintf(buf, sizeof buf, "%3zu%3zu  0  0  0  0  0  0  0  0999 V2000\n", atoms.size(),
                bonds.size());
  text += buf;
  for (const Atom& a : atoms) {
    std::snprintf(buf, sizeof buf, "%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0\n",
                  a.x, a.y, 0.0, a.symbol);
    text += buf;
  }
  for (const Bond& b : bonds) {
    std::snprintf(buf, sizeof buf, "%3d%3d%3d%3d\n", b.a1, b.a2, b.order, b.stereo);
    text += buf;
  }
  Molecule mol;
  RecordingSink ui;
  if (!ReadMolText(mol, text + "M  END\n", ui)) qFatal("test molecule refused");
  CalcFormulaWeight(mol);
  return mol;
}

int DarkPixels(const QImage& image, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      if (qGray(image.pixel(x, y)) < 128) ++n;
    }
  }
  return n;
}

const std::vector<Atom> kStar = {{0, 0}, {1, 0.3}, {-0.5, 0.866}, {-0.5, -0.866}};

}  // namespace

class PictureTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UseLabelFontSubstitutes(); }

  void arialResolvesToAMetricTwin() {
    QFont font("Arial");
    font.setBold(true);
    const QString family = QFontInfo(font).family();
    QVERIFY2(family == "Arial" || family == "Liberation Sans", qPrintable(family));
  }

  void boundingRectIsTheWholePicture() {
    Molecule mol = Make({{0, 0}, {1, 0}}, {{1, 2}});
    const QPicture picture = DrawMoleculePicture(mol);
    QCOMPARE(picture.boundingRect(), QRect(0, 0, 350, 245));
    const QImage image = PictureToImage(picture);
    QCOMPARE(image.size(), QSize(350, 245));
    QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(349, 244), qRgb(255, 255, 255));
    // The bond runs along the centre line from x 119 to 232.
    QCOMPARE(qGray(image.pixel(175, 123)), 0);
    QCOMPARE(qGray(image.pixel(175, 118)), 255);
  }

  void failedDrawingKeepsThePreviousPicture() {
    Molecule mol = Make({{0, 0}, {1, 0}}, {{1, 2}});
    QPicture shown = DrawMoleculePicture(mol);
    const QByteArray before(shown.data(), shown.size());
    bool raised = false;
    try {
      shown = DrawMoleculePicture(mol, kPictureWidth, 1, "zero point seven");
    } catch (const RuntimeError&) {
      raised = true;
    }
    QVERIFY(raised);
    QCOMPARE(QByteArray(shown.data(), shown.size()), before);
  }

  // The label's cell is painted white first, so a bond running under it is
  // hidden: the cell looks the same whether a bond line reaches it or not.
  void textCellsHideBondEnds() {
    const std::vector<Atom> atoms = {{0, 0}, {1, 0, "Cl"}, {0.5, 1}};
    Molecule drawn = Make(atoms, {{1, 2}, {1, 3}});
    Molecule unmarked = Make(atoms, {{1, 2, 8}, {1, 3}});  // a query bond leaves no mark
    RecordingCanvas ops;
    Molecule probe = drawn;
    DrawMolecule(probe, kPictureWidth, 1, kPictureAspect, ops);
    const int x = probe.posdata[2].px, y = probe.posdata[2].py;
    const QImage a = PictureToImage(DrawMoleculePicture(drawn));
    const QImage b = PictureToImage(DrawMoleculePicture(unmarked));
    // Cell: height 20 (bond 1 is long), u 7; "Cl" is well over 10 pixels wide.
    const QRect cell(x - 7, y - 7, 10, 20);
    QVERIFY(DarkPixels(a, cell) > 0);
    QCOMPARE(DarkPixels(a, cell), DarkPixels(b, cell));
    // Left of the cell the bond line is there in one picture only.
    QVERIFY(DarkPixels(a, QRect(x - 20, y, 5, 1)) > 0);
    QCOMPARE(DarkPixels(b, QRect(x - 20, y, 5, 1)), 0);
  }

  // Replaying the picture must not rescale the text: the glyphs stay inside
  // their cell.
  void labelInkStaysInsideItsCell() {
    Molecule mol = Make({{0, 0, "O"}, {1, 0.6}}, {{1, 2}});
    Molecule probe = mol;
    RecordingCanvas ops;
    DrawMolecule(probe, kPictureWidth, 1, kPictureAspect, ops);
    const int x = probe.posdata[1].px, y = probe.posdata[1].py;
    const QImage image = PictureToImage(DrawMoleculePicture(mol));
    // Label "HO" (neighbour on the right), height 20, u 7: cell from x - 14.
    const QRect cell(x - 14, y - 7, 40, 20);
    const int inside = DarkPixels(image, cell);
    QVERIFY(inside > 30);
    QCOMPARE(DarkPixels(image, QRect(x - 30, y - 30, 16, 60)), 0);  // left of the cell
    QCOMPARE(DarkPixels(image, QRect(x - 14, y - 20, 12, 13)), 0);  // above it
  }

  void bondKindsMatchStoredPngs_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("single") << 0;
    QTest::newRow("double") << 1;
    QTest::newRow("triple") << 2;
    QTest::newRow("wedge") << 3;
    QTest::newRow("hash") << 4;
  }

  void bondKindsMatchStoredPngs() {
    QFETCH(int, kind);
    Molecule mol;
    switch (kind) {
      case 0:
        mol = Make({{0, 0}, {0.866, 0.5}, {1.732, 0}, {2.598, 0.5}, {2.598, 1.5}},
                   {{1, 2}, {2, 3}, {3, 4}, {4, 5}});
        break;
      case 1:
        mol = Make({{0, 1},
                    {0.866, 0.5},
                    {0.866, -0.5},
                    {0, -1},
                    {-0.866, -0.5},
                    {-0.866, 0.5},
                    {1.732, 1}},
                   {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}, {2, 7}});
        break;
      case 2:
        mol = Make({{0, 0}, {1, 0.2}, {2, 0.9}, {2, 2}, {3, 2}},
                   {{1, 2}, {2, 3, 3}, {3, 4}, {4, 5, 3}});
        break;
      case 3:
        mol = Make(kStar, {{1, 2, 1, 1}, {1, 3}, {1, 4}});
        break;
      default:
        mol = Make(kStar, {{1, 2, 1, 6}, {1, 3}, {1, 4}});
        break;
    }
    const QImage image =
        PictureToImage(DrawMoleculePicture(mol)).convertToFormat(QImage::Format_RGB32);
    const QString name =
        QString(VUDUZEZ_SOURCE_DIR "/tests/depict/golden/bond_%1.png").arg(QTest::currentDataTag());
    if (qEnvironmentVariableIsSet("VUDUZEZ_UPDATE_GOLDEN")) QVERIFY(image.save(name, "PNG"));
    QImage stored(name);
    QVERIFY2(!stored.isNull(), qPrintable(name));
    QCOMPARE(stored.convertToFormat(QImage::Format_RGB32), image);
  }
};

QTEST_MAIN(PictureTest)
#include "picture_qt_test.moc"
