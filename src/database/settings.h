// vuduzez.ini: the three program settings, read once per run, never written.
#pragma once

#include <string>

#include "model/com_data.h"

namespace vuduzez {

inline constexpr const char* kIniFileName = "vuduzez.ini";

// Reads the marker lines "[mdatafilename]", "[basedir1]" and "[basedir2]" (each
// trimmed, exact case) and stores the trimmed line after each as that setting;
// other lines are ignored, a later marker wins, a marker on the last line gives
// an empty value. Settings not named in the file keep their values. A file that
// cannot be read throws RuntimeError and changes nothing.
void LoadSettings(Settings& settings, const std::string& iniPath = kIniFileName);

// The same on the bytes of an ini file already in memory.
void ParseSettings(Settings& settings, std::string_view text);

}  // namespace vuduzez
