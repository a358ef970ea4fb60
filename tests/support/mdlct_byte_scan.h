// The byte scan that turned an "MDLCT" block into a MOL file on the original
// system, kept for tests that check blocks against it.
#pragma once

#include <string>
#include <string_view>

#include "model/mfconv.h"

namespace vuduzez::testing {

// The byte scan the files were made with before: length bytes below 32 and the
// byte 69 become line breaks, the header ends at "D" followed by a zero byte,
// the body ends at the byte 6. Bounded here so it can run on any input.
inline std::string ByteScan(std::string_view b, NameLine nameLine) {
  size_t p = 0;
  unsigned char last = 0;
  auto get = [&]() {
    if (p >= b.size()) return false;
    last = static_cast<unsigned char>(b[p++]);
    return true;
  };
  std::string out;
  bool ok = get();
  if (ok && nameLine == NameLine::kKeep) {
    const int n = last;
    for (int i = 0; i < n && ok; ++i) {
      ok = get();
      if (ok) out += static_cast<char>(last);
    }
    out += "\r\n";
  }
  while (ok) {
    if (last == 'D') {
      ok = get();
      if (!ok || last == 0) break;
    }
    ok = get();
  }
  get();  // length byte of the counts line
  out += nameLine == NameLine::kKeep ? "\r\n\r\n" : "\r\n\r\n\r\n";
  ok = get();
  while (ok && last != 6) {
    if (last < 32 || last == 69) {
      out += "\r\n";
    } else {
      out += static_cast<char>(last);
    }
    ok = get();
  }
  out += "\r\nM  END\r\n";
  return out;
}

}  // namespace vuduzez::testing
