// Where the program finds its workspace (vuduzez.ini, which names the database
// file and the MOL folder) and how a first start makes one, by the XDG
// conventions of a Linux desktop: vuduzez.ini in the current folder first,
// then in $XDG_CONFIG_HOME/vuduzez (~/.config/vuduzez); a new workspace keeps
// its database file and MOL folder in $XDG_DATA_HOME/vuduzez
// (~/.local/share/vuduzez). An existing vuduzez.ini is only ever read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/com_data.h"

namespace vuduzez {

struct SettingsLookup {
  std::optional<std::string> found;  // the vuduzez.ini to read
  std::vector<std::string> folders;  // the folders looked in, in order (absolute)
};

// Looks for vuduzez.ini in the current folder, then in the config folder.
SettingsLookup FindSettingsFile();

// The folders looked in, for messages: "/home/u/work, /home/u/.config/vuduzez".
std::string LookedInText(const SettingsLookup& lookup);

// Reads the settings of a vuduzez.ini found by FindSettingsFile or chosen by
// the user. A relative path in one outside the current folder is taken
// relative to the ini's own folder (as it is for the one in the current
// folder), so a workspace reads the same from wherever it is found. Throws as
// LoadSettings does.
void LoadSettingsFile(Settings& settings, const std::string& iniPath);

// Where a new workspace goes.
struct WorkspacePlan {
  std::string iniPath;     // $XDG_CONFIG_HOME/vuduzez/vuduzez.ini
  std::string dataFolder;  // $XDG_DATA_HOME/vuduzez
  std::string dbPath;      // dataFolder/compounds.txt
  std::string molFolder;   // dataFolder/mol
};

// nullopt when no XDG folder and no HOME say where.
std::optional<WorkspacePlan> DefaultWorkspacePlan();

// Makes the workspace of the plan and gives its settings: the folders, an
// empty database file and vuduzez.ini naming them (database file, MOL folder,
// and the data folder as the chooser's start). A database file or vuduzez.ini
// already there is kept as it is, never written over; an ini already there is
// then what the settings are read from. Throws RuntimeError naming what could
// not be made.
Settings CreateWorkspace(const WorkspacePlan& plan);

// A new, empty database: the file at dbPath, and a MOL folder beside it
// ("<name without extension>_mol", taken as it is when it is there already).
// Nothing is made when something is at dbPath already (created false); a
// folder or file that cannot be made throws RuntimeError naming it.
struct NewDatabase {
  bool created = false;
  std::string molFolder;
};
NewDatabase CreateDatabase(const std::string& dbPath);

// The text of a vuduzez.ini for the settings: the three markers, each followed
// by its value, CR LF line ends.
std::string SettingsFileText(const Settings& settings);

}  // namespace vuduzez
