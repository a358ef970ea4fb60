// The scratch folder: TMP, else TMPDIR, else /tmp (an empty value counts as
// unset). Scratch files "aaa.mol", "aaa.txt" and "bbb.txt" are made in it.
#pragma once

#include <string>

namespace vuduzez {

std::string ScratchFolder();

// folder + "/" + name
std::string ScratchPath(const std::string& folder, const std::string& name);

}  // namespace vuduzez
