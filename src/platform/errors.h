// Run-time errors of the system: a failed file operation or number conversion
// ends the current user action. The text is the system's own (UTF-8).
#pragma once

#include <stdexcept>
#include <string>

#include "platform/messages.h"

namespace vuduzez {

class RuntimeError : public std::runtime_error {
 public:
  // line: the line of the text being read where it happened (1-based), 0 when
  // the error is not about a line.
  explicit RuntimeError(const std::string& text, int line = 0)
      : std::runtime_error(text), line_(line) {}
  int line() const { return line_; }

 private:
  int line_ = 0;
};

// Throws RuntimeError "<what>: <path>" (what is one of the file texts of
// platform/messages.h, "ファイルが見つかりません" by default).
[[noreturn]] void ThrowFileError(const std::string& path, const char* what = kFileNotFound);

// Integer conversion as the original platform did it: leading blanks allowed, an
// optional sign, decimal digits and nothing after them. Anything else, an empty
// text or a value outside 32 bits raises "'%s' は整数ではありません".
int StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, int& value);

// Floating-point conversion: blanks around the number are ignored, "." is the
// decimal point, an exponent is allowed. Otherwise "'%s' は浮動小数点数ではありません".
long double StrToFloat(const std::string& text);

}  // namespace vuduzez
