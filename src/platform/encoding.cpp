#include "platform/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace vuduzez {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts in; on an invalid or unconvertible sequence calls on_bad, which
  // returns false to give up or true after appending a replacement.
  template <typename OnBad>
  bool Run(const std::string& in, std::string& out, OnBad on_bad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[4096];
    while (left > 0) {
      char* dst = buf;
      size_t room = sizeof buf;
      size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, dst - buf);
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        if (!on_bad(out)) return false;
        // Skip the offending byte and go on.
        ++src;
        --left;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
  if (IsAscii(ansi)) return ansi;
  thread_local Converter conv("UTF-8", "CP932");
  std::string out;
  conv.Run(ansi, out, [](std::string& o) {
    o += "\xEF\xBF\xBD";
    return true;
  });
  return out;
}

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  if (IsAscii(utf8)) return utf8;
  thread_local Converter conv("CP932", "UTF-8");
  std::string out;
  if (!conv.Run(utf8, out, [](std::string&) { return false; })) return std::nullopt;
  return out;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n;
    unsigned min;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, min = 0x10000;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    unsigned code = c & (0x3F >> n);
    for (size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace vuduzez
