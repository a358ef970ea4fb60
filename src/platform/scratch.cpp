#include "platform/scratch.h"

#include <cstdlib>

namespace vuduzez {

std::string ScratchFolder() {
  for (const char* var : {"TMP", "TMPDIR"}) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v != '\0') return v;
  }
  return "/tmp";
}

std::string ScratchPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace vuduzez
