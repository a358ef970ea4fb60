#include "gui/structure_input_qt.h"

#include <QLabel>

#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

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

EditorPanel::EditorPanel(QWidget* parent) : SketchWidget(parent) {
  setToolTip(QString::fromStdString(StructureEditorHint()));
  // What the window showed is replaced by a paste, the user's drawing is not.
  canvas()->pasteReplaces = [this] { return !holdsUserDrawing(); };
}

void EditorPanel::showNote(const QString& text) {
  // The sketch's caption, shown while the panel is empty.
  auto* label = findChild<QLabel*>(QStringLiteral("EditorLabel"));
  if (label == nullptr) return;
  label->setText(text.isEmpty() ? QStringLiteral("ISIS Draw Window") : text);
  label->setWordWrap(!text.isEmpty());
}

void EditorPanel::showStructure(const std::string& molText) {
  SilentSink quiet;  // the window has shown the reader's messages already
  if (!setMolText(molText, quiet)) clear();
  shown_ = sketch().doc();
}

void EditorPanel::clearStructure() {
  clear();
  shown_ = sketch().doc();
}

bool EditorPanel::holdsUserDrawing() const { return !isEmpty() && !(sketch().doc() == shown_); }

std::string EditorPanel::structureText(bool keepNameLine) const {
  return CaptureMolText(molText(), NameLineFor(keepNameLine));
}

}  // namespace vuduzez
