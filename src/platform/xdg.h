// The XDG base folders of the user: where settings and data live on a Linux
// desktop.
#pragma once

#include <optional>
#include <string>

namespace vuduzez {

// $XDG_CONFIG_HOME, else $HOME/.config; nullopt when neither is an absolute
// path (a relative XDG value is ignored, as the XDG rules say).
std::optional<std::string> XdgConfigHome();
// $XDG_DATA_HOME, else $HOME/.local/share.
std::optional<std::string> XdgDataHome();

// Creates the folder and those above it that are missing; false when it
// cannot (or something other than a folder is in the way).
bool MakeFolderPath(const std::string& path);

}  // namespace vuduzez
