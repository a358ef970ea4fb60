#include "gui/structure_input_qt.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/canvas_qt.h"
#include "gui/clipboard_qt.h"
#include "gui/window_ui.h"
#include "model/mfconv.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

NameLine NameLineFor(bool keepNameLine) {
  return keepNameLine ? NameLine::kKeep : NameLine::kBlank;
}

}  // namespace

std::optional<std::string> CaptureStructureFromClipboard(bool keepNameLine, MessageSink& sink) {
  const ClipboardStructure s = ReadClipboardStructure();
  switch (s.kind) {
    case ClipboardStructure::Kind::kMdlctBlock:
      return CaptureStructure(s.bytes, NameLineFor(keepNameLine), sink);
    case ClipboardStructure::Kind::kMolText:
      return CaptureMolText(s.bytes, NameLineFor(keepNameLine));
    case ClipboardStructure::Kind::kNone:
      break;
  }
  sink.ShowMessage(kClipboardEmpty);
  return std::nullopt;
}

std::optional<std::string> CaptureStructureFromFile(const std::string& molPath, bool keepNameLine,
                                                    MessageSink& sink) {
  std::string bytes;
  try {
    bytes = ReadFileBytes(molPath);
  } catch (const RuntimeError& e) {
    sink.ShowError(e.what());
    return std::nullopt;
  }
  return CaptureMolText(bytes, NameLineFor(keepNameLine));
}

std::optional<std::string> ChooseMolFile(const std::string& startFolder, Ui& ui) {
  return ui.OpenFile(kMolFileFilter, startFolder);
}

const std::vector<std::string>& StructureEditorCandidates() {
  // Debian's 2D chemical structure editors that read and write MOL files.
  static const std::vector<std::string> names = {"xdrawchem", "bkchem", "gchempaint",
                                                 "gchempaint-0.14", "chemtool"};
  return names;
}

std::string FindStructureEditor() {
  for (const std::string& name : StructureEditorCandidates()) {
    const QString path = QStandardPaths::findExecutable(QString::fromStdString(name));
    if (!path.isEmpty()) return path.toStdString();
  }
  return std::string();
}

std::string StructureEditorHint() {
  const std::string editor = FindStructureEditor();
  if (editor.empty()) return kNoEditorHint;
  return EditorHint(QFileInfo(QString::fromStdString(editor)).fileName().toStdString());
}

bool StartStructureEditor(MessageSink& sink) {
  const std::string editor = FindStructureEditor();
  if (editor.empty()) {
    sink.ShowMessage(kNoEditor);
    return false;
  }
  if (!QProcess::startDetached(QString::fromStdString(editor), {})) {
    sink.ShowMessage(EditorNotStartedMessage(editor));
    return false;
  }
  return true;
}

QString DroppedMolFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return QString();
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).suffix().compare(QStringLiteral("mol"), Qt::CaseInsensitive) == 0) {
      return path;
    }
  }
  return QString();
}

EditorPanel::EditorPanel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setToolTip(QString::fromStdString(StructureEditorHint()));
  setAcceptDrops(true);

  label_ = new QLabel(QStringLiteral("ISIS Draw Window"), this);
  label_->setObjectName(QStringLiteral("EditorLabel"));
  label_->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
}

void EditorPanel::showNote(const QString& text) {
  label_->setText(text.isEmpty() ? QStringLiteral("ISIS Draw Window") : text);
  label_->setWordWrap(!text.isEmpty());
}

void EditorPanel::showStructure(const std::string& molText) {
  Molecule mol;
  SilentSink quiet;  // the window has shown the reader's messages already
  picture_ = QPicture();
  try {
    if (ReadMolText(mol, molText, quiet)) {
      CalcFormulaWeight(mol);
      picture_ = DrawMoleculePicture(mol, kPictureWidth, 1, kPictureAspect);
    }
  } catch (const RuntimeError&) {
    // Nothing drawable: the panel stays empty.
  }
  // The caption moves out of the drawing's way.
  label_->setAlignment(hasStructure() ? Qt::AlignTop | Qt::AlignHCenter : Qt::AlignCenter);
  update();
}

void EditorPanel::clearStructure() {
  picture_ = QPicture();
  label_->setAlignment(Qt::AlignCenter);
  update();
}

void EditorPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (picture_.isNull()) return;
  const QRect area = contentsRect().adjusted(2, label_->sizeHint().height(), -2, -2);
  const QRect pic = picture_.boundingRect();
  if (area.width() <= 0 || area.height() <= 0 || pic.width() <= 0 || pic.height() <= 0) return;
  const double scale =
      std::min(double(area.width()) / pic.width(), double(area.height()) / pic.height());
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(area.x() + (area.width() - pic.width() * scale) / 2,
                    area.y() + (area.height() - pic.height() * scale) / 2);
  painter.scale(scale, scale);
  painter.drawPicture(0, 0, picture_);
}

void EditorPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  StartStructureEditor(WindowUi());
}

void EditorPanel::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedMolFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void EditorPanel::dropEvent(QDropEvent* event) {
  const QString path = DroppedMolFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  emit molFileDropped(path);
}

}  // namespace vuduzez
