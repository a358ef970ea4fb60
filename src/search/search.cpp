#include "search/search.h"

#include <algorithm>

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace vuduzez {

int32_t SearchStructure(SearchState& state, const Molecule& query, ScreeningStats* stats) {
  return RunScreening(state, MakeQuery(query), stats);
}

std::string HitMolPath(const std::string& folder, const std::string& name) {
  // ASCII names read the same in both encodings (most names; no conversion,
  // no second look): the exact search asks for many of them.
  if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; })) {
    return ScratchPath(folder, name + ".mol");
  }
  const std::string file = AnsiToUtf8(name) + ".mol";
  const std::string path = ScratchPath(folder, file);
  if (!FileExists(path)) {
    // A name line already in the file system's encoding.
    const std::string raw = ScratchPath(folder, name + ".mol");
    if (raw != path && FileExists(raw)) return raw;
  }
  return path;
}

}  // namespace vuduzez
