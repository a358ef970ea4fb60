// The settings a database subcommand works with: vuduzez.ini from the current
// folder, else from the config folder (database/workspace.h), then the --db
// FILE and --mol-dir DIR overrides.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/com_data.h"

namespace vuduzez::cli {

struct Workspace {
  Settings settings;
  std::vector<std::string> args;   // what is left after the options
  std::vector<std::string> flags;  // other options ("--explain"), in order
};

// Parses the options and reads the settings. On a problem prints it (prefixed
// with the command name) and returns nullopt. flagsAllowed lists the extra
// options the command accepts. needDatabase: a database file must be named.
std::optional<Workspace> OpenWorkspace(const char* command, const std::vector<std::string>& args,
                                       const std::vector<std::string>& flagsAllowed,
                                       bool needDatabase = true);

}  // namespace vuduzez::cli
