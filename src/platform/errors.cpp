#include "platform/errors.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/encoding.h"

namespace vuduzez {

void ThrowFileError(const std::string& path, const char* what) {
  throw RuntimeError(std::string(what) + ": " + path);
}

bool TryStrToInt(const std::string& text, int& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(const std::string& text) {
  int value = 0;
  if (!TryStrToInt(text, value)) {
    throw RuntimeError(NotAnIntegerMessage(AnsiToUtf8(text)));
  }
  return value;
}

namespace {

// Checks the decimal form before strtold sees it, so that "inf", "nan", hex
// floats and locale forms are refused as the original refused them.
bool IsDecimalNumber(const std::string& s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == s.size();
}

}  // namespace

long double StrToFloat(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  std::string s = text.substr(b, e - b);
  if (IsDecimalNumber(s)) {
    errno = 0;
    long double v = std::strtold(s.c_str(), nullptr);
    if (errno != ERANGE) return v;
  }
  throw RuntimeError(NotAFloatMessage(AnsiToUtf8(text)));
}

}  // namespace vuduzez
