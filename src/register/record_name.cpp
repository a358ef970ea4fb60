#include "register/record_name.h"

#include <cstdio>

#include "platform/encoding.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

// The name as it can be shown in a message: control characters spelled out.
std::string Shown(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 32) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

CheckedName Refused(const std::string& text) { return CheckedName{false, "", text}; }

}  // namespace

CheckedName CheckRecordName(const std::string& utf8) {
  if (Trim(utf8).empty()) {
    return Refused(NameBlankMessage(Shown(utf8)));
  }
  for (unsigned char c : utf8) {
    if (c < 32) {
      return Refused(NameControlCharacterMessage(Shown(utf8)));
    }
  }
  std::optional<std::string> ansi = Utf8ToAnsi(utf8);
  if (!ansi) {
    return Refused(NameNotShiftJisMessage(utf8));
  }
  const std::string back = AnsiToUtf8(*ansi);
  if (back != utf8) {
    return Refused(NameChangedByShiftJisMessage(utf8, back));
  }
  return CheckedName{true, std::move(*ansi), ""};
}

}  // namespace vuduzez
