// The rule every name must pass before it becomes a name line: single
// registration's confirmed name, batch registration's folder entries, and
// every other way records are added.
#pragma once

#include <string>

namespace vuduzez {

struct CheckedName {
  bool ok = false;
  std::string line;     // the name as CP932 bytes, when ok
  std::string refusal;  // why not (UTF-8, naming the name), when not ok
};

// A name (UTF-8) is refused when it is empty or blank after trimming, when it
// holds a control character (codes below 32: CR and LF would split the
// record, TAB and the rest cannot be seen), when a character has no CP932
// form, or when its CP932 bytes read back as another name (two names would
// become one, and the MOL file would not be found again under it).
CheckedName CheckRecordName(const std::string& utf8);

}  // namespace vuduzez
