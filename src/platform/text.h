// Text helpers shared by every subsystem. Texts are byte strings; columns are
// 1-based as in the file formats the system reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vuduzez {

// Removes every leading and trailing character with a code from 0 to 32.
std::string Trim(std::string_view s);
// The same as a view into s.
std::string_view TrimView(std::string_view s);

// Columns first..last (1-based, inclusive) of a line; shorter when the line ends
// earlier, empty when it ends before the first column.
std::string Columns(std::string_view line, size_t first, size_t last);

// Text before the first occurrence of c (the whole text if it has none).
std::string_view BeforeFirst(std::string_view s, char c);

// Reads a text line by line. A line ends at CR LF, lone LF or lone CR. Reading
// past the end gives empty lines, as the original platform did.
class LineReader {
 public:
  explicit LineReader(std::string_view data) : data_(data) {}
  bool AtEnd() const { return pos_ >= data_.size(); }
  std::string_view Next();
  // Number of the line Next returned last (1-based; lines past the end count
  // on), 0 before the first.
  int LineNumber() const { return line_; }
  // Bytes of the text read so far.
  size_t Position() const { return pos_; }

 private:
  std::string_view data_;
  size_t pos_ = 0;
  int line_ = 0;
};

// The first CR or LF of data at or after from; npos when there is none.
size_t FindLineEnd(std::string_view data, size_t from);

}  // namespace vuduzez
