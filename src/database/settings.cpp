#include "database/settings.h"

#include "database/database.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

void ParseSettings(Settings& settings, std::string_view text) {
  Settings parsed = settings;
  if (StartsWithByteOrderMark(text)) text.remove_prefix(kByteOrderMark.size());
  LineReader reader(text);
  while (!reader.AtEnd()) {
    std::string line = Trim(reader.Next());
    std::string* target = nullptr;
    if (line == "[mdatafilename]") {
      target = &parsed.mdatafilename;
    } else if (line == "[basedir1]") {
      target = &parsed.basedir1;
    } else if (line == "[basedir2]") {
      target = &parsed.basedir2;
    }
    // The value line belongs to its marker and is never read as a marker;
    // past the end it is empty.
    if (target != nullptr) *target = Trim(reader.Next());
  }
  settings = parsed;
}

void LoadSettings(Settings& settings, const std::string& iniPath) {
  ParseSettings(settings, ReadFileBytes(iniPath));
}

}  // namespace vuduzez
