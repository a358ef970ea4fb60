#include "platform/text.h"

#include <cstring>

namespace vuduzez {

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return std::string(s.substr(b, e - b));
}

std::string Columns(std::string_view line, size_t first, size_t last) {
  if (first < 1 || last < first || line.size() < first) return {};
  return std::string(line.substr(first - 1, last - first + 1));
}

std::string_view BeforeFirst(std::string_view s, char c) {
  size_t p = s.find(c);
  return p == std::string_view::npos ? s : s.substr(0, p);
}

size_t FindLineEnd(std::string_view data, size_t from) {
  if (from >= data.size()) return std::string_view::npos;
  const char* p = data.data() + from;
  const size_t n = data.size() - from;
  const void* lf = std::memchr(p, '\n', n);
  const size_t lfAt = lf ? static_cast<size_t>(static_cast<const char*>(lf) - p) : n;
  const void* cr = std::memchr(p, '\r', lfAt);
  if (cr != nullptr) return from + static_cast<size_t>(static_cast<const char*>(cr) - p);
  return lf ? from + lfAt : std::string_view::npos;
}

std::string_view LineReader::Next() {
  ++line_;
  if (pos_ >= data_.size()) return {};
  size_t start = pos_;
  // The next LF is remembered: a text whose lines end in a lone CR would
  // otherwise be searched to its end for an LF at every line.
  if (!lfKnown_ || (nextLf_ != std::string_view::npos && nextLf_ < start)) {
    const void* lf = std::memchr(data_.data() + start, '\n', data_.size() - start);
    nextLf_ = lf ? static_cast<size_t>(static_cast<const char*>(lf) - data_.data())
                 : std::string_view::npos;
    lfKnown_ = true;
  }
  const size_t lfAt = nextLf_ == std::string_view::npos ? data_.size() : nextLf_;
  const void* cr = std::memchr(data_.data() + start, '\r', lfAt - start);
  size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - data_.data()) : nextLf_;
  if (end == std::string_view::npos) {
    pos_ = data_.size();
    return data_.substr(start);
  }
  pos_ = end + 1;
  if (data_[end] == '\r' && pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
  return data_.substr(start, end - start);
}

}  // namespace vuduzez
