#include "platform/xdg.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vuduzez {

namespace {

std::optional<std::string> BaseFolder(const char* variable, const char* underHome) {
  if (const char* v = std::getenv(variable); v != nullptr && v[0] == '/') return std::string(v);
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    std::string base = home;
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/" + underHome;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> XdgConfigHome() { return BaseFolder("XDG_CONFIG_HOME", ".config"); }
std::optional<std::string> XdgDataHome() { return BaseFolder("XDG_DATA_HOME", ".local/share"); }

bool MakeFolderPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

}  // namespace vuduzez
