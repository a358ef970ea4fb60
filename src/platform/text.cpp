#include "platform/text.h"

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

std::string_view LineReader::Next() {
  ++line_;
  if (pos_ >= data_.size()) return {};
  size_t start = pos_;
  size_t end = data_.find_first_of("\r\n", start);
  if (end == std::string_view::npos) {
    pos_ = data_.size();
    return data_.substr(start);
  }
  pos_ = end + 1;
  if (data_[end] == '\r' && pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
  return data_.substr(start, end - start);
}

}  // namespace vuduzez
