#include "gui/clipboard_qt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <string_view>

#include "model/mfconv.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace vuduzez {

ClipboardStructure StructureFromMimeData(const QMimeData* data) {
  ClipboardStructure s;
  if (data == nullptr) return s;
  const QByteArray block = data->data(QString::fromLatin1(kMdlctFormat));
  if (!block.isEmpty()) {
    s.kind = ClipboardStructure::Kind::kMdlctBlock;
    s.bytes = block.toStdString();
    return s;
  }
  const QByteArray molfile = data->data(QString::fromLatin1(kMolfileMime));
  if (!molfile.isEmpty() && LooksLikeMolText(molfile.toStdString())) {
    // A MOL file's bytes, taken as they are.
    s.kind = ClipboardStructure::Kind::kMolText;
    s.bytes = molfile.toStdString();
    return s;
  }
  if (data->hasText()) {
    const std::string text = data->text().toStdString();
    if (LooksLikeMolText(text)) {
      // Text on a Linux clipboard is Unicode; the system's texts are CP932.
      s.kind = ClipboardStructure::Kind::kMolText;
      s.bytes = Utf8ToAnsi(text).value_or(text);
    }
  }
  return s;
}

std::optional<std::string> SmilesFromMimeData(const QMimeData* data) {
  if (data == nullptr || !data->hasText()) return std::nullopt;
  if (StructureFromMimeData(data).kind != ClipboardStructure::Kind::kNone) return std::nullopt;
  const std::string text = Trim(data->text().toStdString());
  if (text.empty() || text.find_first_of("\r\n") != std::string::npos) return std::nullopt;
  if (std::string_view("BCNOPSFIbcnosp[*").find(text.front()) == std::string_view::npos) {
    return std::nullopt;
  }
  return Utf8ToAnsi(text).value_or(text);
}

std::optional<std::string> ReadClipboardSmiles() {
  return SmilesFromMimeData(QGuiApplication::clipboard()->mimeData());
}

ClipboardStructure ReadClipboardStructure() {
  return StructureFromMimeData(QGuiApplication::clipboard()->mimeData());
}

}  // namespace vuduzez
