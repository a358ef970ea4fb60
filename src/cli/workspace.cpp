#include "cli/workspace.h"

#include <algorithm>
#include <iostream>

#include "database/settings.h"
#include "database/workspace.h"
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

  // vuduzez.ini is needed unless --db names the database: the current
  // folder's, else the one in the config folder, as the desktop program finds it.
  const SettingsLookup lookup = FindSettingsFile();
  if (lookup.found) {
    LoadSettingsFile(ws.settings, *lookup.found);
  } else if (!db) {
    std::cerr << "vuduzez-cli " << command << ": " << SettingsNotFoundMessage(LookedInText(lookup))
              << " (run in a workspace folder, start vuduzez once to make a workspace, or pass "
                 "--db FILE)\n";
    return std::nullopt;
  }
  if (db) ws.settings.mdatafilename = *db;
  if (molDir) ws.settings.basedir1 = *molDir;
  if (needDatabase && ws.settings.mdatafilename.empty()) {
    std::cerr << "vuduzez-cli " << command
              << ": no database file: " << lookup.found.value_or(kIniFileName)
              << " names none under [mdatafilename]; pass --db FILE\n";
    return std::nullopt;
  }
  return ws;
}

}  // namespace vuduzez::cli
