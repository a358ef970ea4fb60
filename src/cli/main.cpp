// vuduzez-cli: the system's pipeline (read, complete, key, store, search, draw)
// on the command line.
#include <algorithm>
#include <exception>
#include <map>

#include "cli/cli.h"
#include "platform/errors.h"

namespace vuduzez::cli {

namespace {

std::map<std::string, Command>& Registry() {
  static std::map<std::string, Command> commands;
  return commands;
}

}  // namespace

bool RegisterCommand(const Command& command) {
  Registry()[command.name] = command;
  return true;
}

int Usage(const char* command) {
  std::cerr << "usage:\n";
  for (const auto& [name, c] : Registry()) {
    if (command == nullptr || name == command) std::cerr << "  vuduzez-cli " << c.usage << '\n';
  }
  return kExitUsage;
}

}  // namespace vuduzez::cli

int main(int argc, char** argv) {
  using namespace vuduzez::cli;
  std::ios::sync_with_stdio(false);
  if (argc < 2) return Usage();
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    Usage();
    return kExitOk;
  }
  if (name == "--version") {
    std::cout << "vuduzez-cli " << VUDUZEZ_VERSION << '\n';
    return kExitOk;
  }
  auto it = Registry().find(name);
  if (it == Registry().end()) {
    std::cerr << "vuduzez-cli: unknown command '" << name << "'\n";
    return Usage();
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return it->second.run(args);
  } catch (const vuduzez::RuntimeError& e) {
    std::cerr << e.what() << '\n';
    return kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << "vuduzez-cli: " << e.what() << '\n';
    return kExitFailed;
  }
}
