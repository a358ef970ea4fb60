#include "platform/text.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vuduzez {

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

std::string Columns(std::string_view line, size_t first, size_t last) {
  if (first < 1 || last < first || line.size() < first) return {};
  return std::string(line.substr(first - 1, last - first + 1));
}

std::string_view BeforeFirst(std::string_view s, char c) {
  size_t p = s.find(c);
  return p == std::string_view::npos ? s : s.substr(0, p);
}

size_t FindLineEnd(std::string_view data, size_t from) {
  const char* p = data.data();
  const size_t n = data.size();
  size_t i = from;
#if defined(__SSE2__)
  // CR and LF looked for together, 32 bytes a step: each byte of a database
  // is read once however its lines end.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  auto ends = [&](size_t at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
  };
  for (; i + 32 <= n; i += 32) {
    const unsigned low = ends(i);
    const unsigned high = ends(i + 16);
    if ((low | high) != 0) {
      return i + static_cast<size_t>(low != 0 ? __builtin_ctz(low) : 16 + __builtin_ctz(high));
    }
  }
#endif
  for (; i < n; ++i) {
    if (p[i] == '\r' || p[i] == '\n') return i;
  }
  return std::string_view::npos;
}

std::string_view LineReader::Next() {
  ++line_;
  if (pos_ >= data_.size()) return {};
  size_t start = pos_;
  size_t end = FindLineEnd(data_, start);
  if (end == std::string_view::npos) {
    pos_ = data_.size();
    return data_.substr(start);
  }
  pos_ = end + 1;
  if (data_[end] == '\r' && pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
  return data_.substr(start, end - start);
}

}  // namespace vuduzez
