#include "cli/workspace.h"

#include <algorithm>
#include <iostream>

#include "database/settings.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez::cli {

std::optional<Workspace> OpenWorkspace(const char* command, const std::vector<std::string>& args,
                                       const std::vector<std::string>& flagsAllowed,
                                       bool needDatabase) {
  Workspace ws;
  std::optional<std::string> db, molDir;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name, std::optional<std::string>& into) {
      const std::string opt = name;
      if (a == opt) {
        if (i + 1 >= args.size()) return false;
        into = args[++i];
        return true;
      }
      into = a.substr(opt.size() + 1);  // --opt=VALUE
      return true;
    };
    if (a == "--db" || a.rfind("--db=", 0) == 0) {
      if (!value("--db", db)) {
        std::cerr << "vuduzez-cli " << command << ": --db needs a file\n";
        return std::nullopt;
      }
    } else if (a == "--mol-dir" || a.rfind("--mol-dir=", 0) == 0) {
      if (!value("--mol-dir", molDir)) {
        std::cerr << "vuduzez-cli " << command << ": --mol-dir needs a folder\n";
        return std::nullopt;
      }
    } else if (a == "--") {
      ws.args.insert(ws.args.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      if (std::find(flagsAllowed.begin(), flagsAllowed.end(), a) == flagsAllowed.end()) {
        std::cerr << "vuduzez-cli " << command << ": unknown option " << a << '\n';
        return std::nullopt;
      }
      ws.flags.push_back(a);
    } else {
      ws.args.push_back(a);
    }
  }

  // vuduzez.ini is needed unless --db names the database.
  if (FileExists(kIniFileName)) {
    LoadSettings(ws.settings);
  } else if (!db) {
    std::cerr << "vuduzez-cli " << command << ": " << kFileNotFound << ": " << kIniFileName
              << " (run in a workspace folder or pass --db FILE)\n";
    return std::nullopt;
  }
  if (db) ws.settings.mdatafilename = *db;
  if (molDir) ws.settings.basedir1 = *molDir;
  if (needDatabase && ws.settings.mdatafilename.empty()) {
    std::cerr
        << "vuduzez-cli " << command
        << ": no database file: vuduzez.ini names none under [mdatafilename]; pass --db FILE\n";
    return std::nullopt;
  }
  return ws;
}

}  // namespace vuduzez::cli
