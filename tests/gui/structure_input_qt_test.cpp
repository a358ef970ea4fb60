// The Qt side of the platform layer: file filters, the structure on the
// clipboard, MOL files given by the user, the editor panel.
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "gui/clipboard_qt.h"
#include "gui/structure_input_qt.h"
#include "gui/ui_qt.h"
#include "gui/window_ui.h"
#include "model/mfconv.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "support/gui_test_support.h"
#include "support/recording_ui.h"

using namespace vuduzez;
using namespace vuduzez::testsupport;

class StructureInputTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void fileFilters() {
    QCOMPARE(QtFileFilter("Txt|*.txt"), QStringLiteral("Txt (*.txt)"));
    QCOMPARE(QtFileFilter(""), QString());
    QCOMPARE(QtFileFilter("MolFile|*.mol;*.MOL"), QStringLiteral("MolFile (*.mol *.MOL)"));
    QCOMPARE(QtFileFilter("Txt|*.txt|All|*.*"), QStringLiteral("Txt (*.txt);;All (*.*)"));
  }

  void windowFontsResolveToInstalledFaces() {
    SetupFonts();
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"))).family(),
             QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(QFont(QStringLiteral("Arial"))).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(QApplication::font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
  }

  void clipboardPrefersTheEditorBlock() {
    const std::string mol = SampleMol("benzene");
    auto* data = new QMimeData;
    data->setData(QStringLiteral("MDLCT"), QByteArray::fromStdString(MdlctBlock(mol)));
    data->setText(QString::fromStdString(SampleMol("phenol")));
    ClipboardStructure s = StructureFromMimeData(data);
    QCOMPARE(s.kind, ClipboardStructure::Kind::kMdlctBlock);
    QCOMPARE(s.bytes, MdlctBlock(mol));

    // An empty block counts as none: the MOL text is taken.
    data->setData(QStringLiteral("MDLCT"), QByteArray());
    s = StructureFromMimeData(data);
    QCOMPARE(s.kind, ClipboardStructure::Kind::kMolText);
    QCOMPARE(s.bytes, SampleMol("phenol"));
    delete data;
  }

  void clipboardMolTextForms() {
    QMimeData data;
    data.setData(QStringLiteral("chemical/x-mdl-molfile"),
                 QByteArray::fromStdString(SampleMol("toluene")));
    data.setText(QStringLiteral("not a structure"));
    ClipboardStructure s = StructureFromMimeData(&data);
    QCOMPARE(s.kind, ClipboardStructure::Kind::kMolText);
    QCOMPARE(s.bytes, SampleMol("toluene"));

    QMimeData text;
    text.setText(QStringLiteral("CCO"));
    QCOMPARE(StructureFromMimeData(&text).kind, ClipboardStructure::Kind::kNone);
    QCOMPARE(StructureFromMimeData(nullptr).kind, ClipboardStructure::Kind::kNone);

    // Unicode text becomes the system's CP932 bytes.
    std::string named = SampleMol("ethanol");
    named.replace(0, named.find('\r'), "エタノール");
    text.setText(QString::fromStdString(named));
    s = StructureFromMimeData(&text);
    QCOMPARE(s.kind, ClipboardStructure::Kind::kMolText);
    QCOMPARE(AnsiToUtf8(s.bytes.substr(0, s.bytes.find('\r'))), std::string("エタノール"));
    QCOMPARE(s.bytes.size(), named.size() - std::string("エタノール").size() + 10);
  }

  void captureFromClipboard() {
    RecordingUi ui;
    SetClipboardBlock(MdlctBlock(SampleMol("ethanol")));
    QVERIFY(CaptureStructureFromClipboard(true, ui)->rfind("ethanol.mol\r\n\r\n\r\n  3  2", 0) ==
            0);
    QVERIFY(CaptureStructureFromClipboard(false, ui)->rfind("\r\n\r\n\r\n  3  2", 0) == 0);

    SetClipboardText(SampleMol("phenol"));
    QCOMPARE(*CaptureStructureFromClipboard(true, ui), SampleMol("phenol"));
    QVERIFY(ui.messages.empty());

    ClearClipboard();
    QVERIFY(!CaptureStructureFromClipboard(false, ui));
    QCOMPARE(ui.messages, std::vector<std::string>{"クリップボードにデータがありません"});
  }

  void captureFromFile() {
    RecordingUi ui;
    const std::string mol = SampleMol("toluene");
    QCOMPARE(*CaptureStructureFromFile(SamplePath("toluene"), false, ui),
             mol.substr(mol.find('\r')));
    QCOMPARE(*CaptureStructureFromFile(SamplePath("toluene"), true, ui), mol);

    const std::string missing = dir_.path().toStdString() + "/missing.mol";
    QVERIFY(!CaptureStructureFromFile(missing, true, ui));
    QCOMPARE(ui.errors.size(), size_t(1));
    QVERIFY(ui.errors[0].find("ファイルが見つかりません") != std::string::npos);

    // The file chooser asks for MOL files in the given folder.
    ui.fileAnswers.push_back(std::string("/x/y.mol"));
    QCOMPARE(ChooseMolFile("/start", ui), std::optional<std::string>("/x/y.mol"));
    QCOMPARE(ui.inputs.back(), std::string("OpenFile|MolFile|*.mol;*.MOL;*.mol.gz|/start"));
  }

  void editorPanel() {
    EditorPanel panel;
    panel.show();
    QCOMPARE(panel.toolTip().toStdString(), StructureEditorHint());
    auto* label = panel.findChild<QLabel*>(QStringLiteral("EditorLabel"));
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QStringLiteral("ISIS Draw Window"));
    QVERIFY(panel.acceptDrops());

    QSignalSpy spy(&panel, &EditorPanel::molFileDropped);
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("https://example.org/a.mol")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/notes.txt")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/Query.MOL"))});
    // As the window system delivers it: the drop goes where the drag entered.
    QDragEnterEvent accepted(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &accepted);
    QVERIFY(accepted.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &drop);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("/tmp/Query.MOL"));

    QMimeData noMol;
    noMol.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/notes.txt"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &noMol, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &enter);
    QVERIFY(!enter.isAccepted());
    QDropEvent drop2(QPointF(5, 5), Qt::CopyAction, &noMol, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &drop2);
    QCOMPARE(spy.count(), 1);

    // What the window shows is not the user's drawing; a refused text empties it.
    panel.showStructure(SampleMol("benzene"));
    QVERIFY(panel.hasStructure() && !panel.holdsUserDrawing());
    // The context menu starts an editor whatever the panel holds (none is
    // installed here: the user is told how to get one).
    RecordingUi ui;
    SetWindowUi(&ui);
    const QByteArray oldPath = qgetenv("PATH");
    QTemporaryDir bin;
    qputenv("PATH", bin.path().toLocal8Bit());
    QTimer::singleShot(0, [] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return;
      for (QAction* a : menu->actions()) {
        if (a->text() == QStringLiteral("外部エディタで編集")) a->trigger();
      }
      menu->close();
    });
    const QPoint p(20, 20);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, p, panel.canvas()->mapToGlobal(p));
    QApplication::sendEvent(panel.canvas(), &menuEvent);
    qputenv("PATH", oldPath);
    SetWindowUi(nullptr);
    QCOMPARE(ui.messages, std::vector<std::string>{kNoEditor});
    panel.showStructure("not a MOL file");
    QVERIFY(!panel.hasStructure());
  }

  void japaneseStandardDialogs() {
    QVERIFY(SetupJapaneseDialogs());  // qtbase_ja.qm found where Qt keeps its translations
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    QFileDialog dialog;  // Qt's own, whatever the desktop
    QVERIFY(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
    auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    QVERIFY(lookIn != nullptr);
    QVERIFY2(!lookIn->text().contains(QStringLiteral("Look in")), qPrintable(lookIn->text()));
  }

  void structureEditorLookup() {
    const QByteArray oldPath = qgetenv("PATH");
    QTemporaryDir bin;
    qputenv("PATH", bin.path().toLocal8Bit());
    RecordingUi ui;
    QCOMPARE(FindStructureEditor(), std::string());
    QCOMPARE(StructureEditorHint(), std::string(kNoEditorHint));  // how to get one
    QVERIFY(!StartStructureEditor(ui));
    QCOMPARE(ui.messages.size(), size_t(1));
    QVERIFY(ui.messages[0].find("apt-get install") != std::string::npos);

    // The first candidate on PATH is started, detached.
    const QString marker = bin.path() + QStringLiteral("/started");
    const QString script = bin.path() + QStringLiteral("/bkchem");
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\n/usr/bin/touch '%1'\n").arg(marker).toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(FindStructureEditor(), script.toStdString());
    QCOMPARE(StructureEditorHint(), EditorHint("bkchem"));  // the one that starts
    QVERIFY(StartStructureEditor(ui));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    QCOMPARE(ui.messages.size(), size_t(1));
    qputenv("PATH", oldPath);
  }
};

QTEST_MAIN(StructureInputTest)
#include "structure_input_qt_test.moc"
