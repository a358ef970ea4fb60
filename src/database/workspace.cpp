#include "database/workspace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "database/settings.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/xdg.h"

namespace vuduzez {

namespace {

std::string CurrentFolder() {
  char buf[PATH_MAX];
  if (::getcwd(buf, sizeof buf) == nullptr) return ".";
  return buf;
}

}  // namespace

SettingsLookup FindSettingsFile() {
  SettingsLookup lookup;
  lookup.folders.push_back(CurrentFolder());
  if (FileExists(kIniFileName)) {
    lookup.found = kIniFileName;
    return lookup;
  }
  if (const auto config = XdgConfigHome()) {
    const std::string folder = *config + "/vuduzez";
    lookup.folders.push_back(folder);
    const std::string ini = folder + "/" + kIniFileName;
    if (FileExists(ini)) lookup.found = ini;
  }
  return lookup;
}

std::string LookedInText(const SettingsLookup& lookup) {
  std::string text;
  for (const std::string& f : lookup.folders) text += (text.empty() ? "" : ", ") + f;
  return text;
}

void LoadSettingsFile(Settings& settings, const std::string& iniPath) {
  Settings read = settings;
  LoadSettings(read, iniPath);
  const size_t slash = iniPath.rfind('/');
  if (slash != std::string::npos) {
    const std::string folder = iniPath.substr(0, slash + 1);
    for (std::string* value : {&read.mdatafilename, &read.basedir1, &read.basedir2}) {
      if (!value->empty() && (*value)[0] != '/') *value = folder + *value;
    }
  }
  settings = read;
}

std::optional<WorkspacePlan> DefaultWorkspacePlan() {
  const auto config = XdgConfigHome();
  const auto data = XdgDataHome();
  if (!config || !data) return std::nullopt;
  WorkspacePlan plan;
  plan.iniPath = *config + "/vuduzez/" + kIniFileName;
  plan.dataFolder = *data + "/vuduzez";
  plan.dbPath = plan.dataFolder + "/compounds.txt";
  plan.molFolder = plan.dataFolder + "/mol";
  return plan;
}

std::string SettingsFileText(const Settings& settings) {
  return "[mdatafilename]\r\n" + settings.mdatafilename + "\r\n[basedir1]\r\n" + settings.basedir1 +
         "\r\n[basedir2]\r\n" + settings.basedir2 + "\r\n";
}

Settings CreateWorkspace(const WorkspacePlan& plan) {
  const std::string iniFolder = plan.iniPath.substr(0, plan.iniPath.rfind('/'));
  for (const std::string& folder : {plan.dataFolder, plan.molFolder, iniFolder}) {
    if (!MakeFolderPath(folder)) throw RuntimeError(std::string(kCannotCreateFile) + ": " + folder);
  }
  Settings settings;
  settings.mdatafilename = plan.dbPath;
  settings.basedir1 = plan.molFolder;
  settings.basedir2 = plan.dataFolder;
  // Both files are made whole or not at all, and never over a file that is there.
  CreateNewFile(plan.dbPath, "");
  if (CreateNewFile(plan.iniPath, SettingsFileText(settings)) == NewFile::kOtherContent) {
    Settings existing;
    LoadSettingsFile(existing, plan.iniPath);
    return existing;
  }
  return settings;
}

NewDatabase CreateDatabase(const std::string& dbPath) {
  NewDatabase out;
  const size_t slash = dbPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : dbPath.substr(0, slash);
  std::string stem = slash == std::string::npos ? dbPath : dbPath.substr(slash + 1);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  out.molFolder = folder + "/" + stem + "_mol";
  struct stat st;
  if (::lstat(dbPath.c_str(), &st) == 0) return out;
  if (!MakeFolderPath(out.molFolder)) {
    throw RuntimeError(std::string(kCannotCreateFile) + ": " + out.molFolder);
  }
  out.created = CreateNewFile(dbPath, "") == NewFile::kCreated;
  return out;
}

}  // namespace vuduzez
