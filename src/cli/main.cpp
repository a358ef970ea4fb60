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
  if (command != nullptr) std::cerr << "(vuduzez-cli " << command << " --help for more)\n";
  return kExitUsage;
}

int Help(const char* command) {
  if (command == nullptr) {
    std::cout << "vuduzez-cli: the compound database of vuduzez on the command line\n\n"
                 "usage:\n";
    for (const auto& [name, c] : Registry()) std::cout << "  vuduzez-cli " << c.usage << '\n';
    std::cout << "\n"
                 "The database commands read vuduzez.ini from the current folder, else from\n"
                 "$XDG_CONFIG_HOME/vuduzez (~/.config/vuduzez); --db and --mol-dir override it.\n"
                 "A file named - is standard input. vuduzez-cli COMMAND --help tells more;\n"
                 "man vuduzez-cli tells all.\n";
    return kExitOk;
  }
  const auto it = Registry().find(command);
  if (it == Registry().end()) return Usage();
  std::cout << "usage: vuduzez-cli " << it->second.usage << '\n';
  if (it->second.details[0] != '\0') std::cout << '\n' << it->second.details;
  return kExitOk;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

}  // namespace vuduzez::cli

int main(int argc, char** argv) {
  using namespace vuduzez::cli;
  std::ios::sync_with_stdio(false);
  if (argc < 2) return Usage();
  std::string name = argv[1];
  if (name == "--help" || name == "-h") return Help();
  if (name == "help") return Help(argc > 2 ? argv[2] : nullptr);
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
  if (AsksForHelp(args)) return Help(name.c_str());
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
