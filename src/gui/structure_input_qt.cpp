#include "gui/structure_input_qt.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/clipboard_qt.h"
#include "gui/window_ui.h"
#include "model/mfconv.h"
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
  setToolTip(QStringLiteral("ダブルクリックでISIS Drawを起動"));
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
