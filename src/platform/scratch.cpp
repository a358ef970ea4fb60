#include "platform/scratch.h"

namespace vuduzez {

std::string ScratchPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace vuduzez
