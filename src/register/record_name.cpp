#include "register/record_name.h"

#include <cstdio>

#include "platform/encoding.h"
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
  return "「" + out + "」";
}

CheckedName Refused(const std::string& text) { return CheckedName{false, "", text}; }

}  // namespace

CheckedName CheckRecordName(const std::string& utf8) {
  if (Trim(utf8).empty()) {
    return Refused("名前" + Shown(utf8) + "は空です。登録しませんでした");
  }
  for (unsigned char c : utf8) {
    if (c < 32) {
      return Refused("名前" + Shown(utf8) +
                     "に制御文字（改行・タブなど）が含まれています。登録しませんでした");
    }
  }
  std::optional<std::string> ansi = Utf8ToAnsi(utf8);
  if (!ansi) {
    return Refused("名前" + Shown(utf8) +
                   "にはShift-JISで書けない文字があります。登録しませんでした");
  }
  const std::string back = AnsiToUtf8(*ansi);
  if (back != utf8) {
    return Refused("名前" + Shown(utf8) + "はShift-JISでは別の名前" + Shown(back) +
                   "になってしまいます。登録しませんでした");
  }
  return CheckedName{true, std::move(*ansi), ""};
}

}  // namespace vuduzez
