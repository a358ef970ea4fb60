#include "platform/text.h"

#include <algorithm>
#include <cstring>

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
  // memchr runs at memory speed but finds one byte: LF is looked for first,
  // then CR before it. Over a growing span, so that a text whose lines end in
  // a lone CR is not searched to its end for an LF at every line.
  const char* base = data.data();
  for (size_t span = 256;; span *= 4) {
    if (from >= data.size()) return std::string_view::npos;
    const size_t limit = std::min(data.size(), from + span);
    const void* lf = std::memchr(base + from, '\n', limit - from);
    const size_t lfAt = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : limit;
    if (const void* cr = std::memchr(base + from, '\r', lfAt - from)) {
      return static_cast<size_t>(static_cast<const char*>(cr) - base);
    }
    if (lf != nullptr) return lfAt;
    from = limit;  // neither CR nor LF before limit
  }
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
