// The structure on the clipboard, as the windows take it.
#pragma once

#include <optional>
#include <string>

class QMimeData;

namespace vuduzez {

// Clipboard format names. "MDLCT" is the structure editor's own block of
// length-prefixed lines.
inline constexpr const char* kMdlctFormat = "MDLCT";
inline constexpr const char* kMolfileMime = "chemical/x-mdl-molfile";

struct ClipboardStructure {
  enum class Kind { kNone, kMdlctBlock, kMolText };
  Kind kind = Kind::kNone;
  std::string bytes;  // the block, or the MOL text (CP932 where it could be converted)
};

// The first structure the data holds: a non-empty "MDLCT" block, else
// chemical/x-mdl-molfile data, else plain text that is a V2000 MOL file.
ClipboardStructure StructureFromMimeData(const QMimeData* data);

// The same for the system clipboard.
ClipboardStructure ReadClipboardStructure();

// A SMILES on the clipboard: one line of plain text, starting as a SMILES does
// (an organic-subset atom or "["), when the data holds no "MDLCT" block and no
// MOL text, which come first. The text (CP932 where it could be converted) may
// carry a name after a blank; whether it reads is the SMILES reader's to say.
std::optional<std::string> SmilesFromMimeData(const QMimeData* data);
std::optional<std::string> ReadClipboardSmiles();

}  // namespace vuduzez
