// Joining a folder and a file name. Nothing with a fixed name is ever written
// to a shared folder: replacements go beside the file they replace under a
// unique name (platform/files.h), captured structures stay in memory.
#pragma once

#include <string>

namespace vuduzez {

// folder + "/" + name (no second "/" when folder ends in one).
std::string ScratchPath(const std::string& folder, const std::string& name);

}  // namespace vuduzez
