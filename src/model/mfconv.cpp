#include "model/mfconv.h"

#include <algorithm>

#include "platform/text.h"

namespace vuduzez {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kEndLine = "M  END";

// Walks an "MDLCT" block line by line. A length byte that promises more than
// the block holds gives what is left.
class BlockLines {
 public:
  explicit BlockLines(std::string_view data) : data_(data) {}

  bool Next(std::string_view& line) {
    if (pos_ >= data_.size()) return false;
    size_t n = static_cast<unsigned char>(data_[pos_++]);
    n = std::min(n, data_.size() - pos_);
    line = data_.substr(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::string_view data_;
  size_t pos_ = 0;
};

bool IsEndLine(std::string_view line) {
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  return line == kEndLine;
}

}  // namespace

std::string ConvertMdlctBlock(std::string_view block, NameLine nameLine) {
  BlockLines lines(block);
  std::string out;
  out.reserve(block.size() + block.size() / 16 + 16);

  std::string_view line;
  if (lines.Next(line) && nameLine == NameLine::kKeep) out += line;
  out += kCrLf;
  // Header lines 2 (program and dimension code) and 3 (comment) are written empty.
  lines.Next(line);
  lines.Next(line);
  out += kCrLf;
  out += kCrLf;

  while (lines.Next(line)) {
    if (IsEndLine(line)) break;
    out += line;
    out += kCrLf;
  }
  out += kEndLine;
  out += kCrLf;
  return out;
}

std::string CaptureMolText(std::string_view text, NameLine nameLine) {
  if (nameLine == NameLine::kKeep) return std::string(text);
  const size_t end = text.find_first_of("\r\n");
  if (end == std::string_view::npos) return std::string();
  return std::string(text.substr(end));
}

namespace {

// Columns 35-39 of the fourth line ("" when there is none).
std::string CountsVersion(std::string_view text) {
  LineReader lines(text);
  for (int i = 0; i < 3; ++i) {
    if (lines.AtEnd()) return {};
    lines.Next();
  }
  if (lines.AtEnd()) return {};
  return Columns(lines.Next(), 35, 39);
}

}  // namespace

bool LooksLikeMolV2000(std::string_view text) { return CountsVersion(text) == "V2000"; }

bool LooksLikeMolText(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::string version = CountsVersion(text);
  return version == "V2000" || version == "V3000";
}

std::optional<std::string> CaptureStructure(std::string_view block, NameLine nameLine,
                                            MessageSink& sink) {
  if (block.empty()) {
    sink.ShowMessage(kClipboardEmpty);
    return std::nullopt;
  }
  return ConvertMdlctBlock(block, nameLine);
}

}  // namespace vuduzez
