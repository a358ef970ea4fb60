// The structure on the clipboard, as the windows take it.
#pragma once

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

}  // namespace vuduzez
