#include "model/sdfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/compress.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"

namespace vuduzez {

namespace {

constexpr size_t kBufferBytes = 1u << 16;

// The line without its trailing blanks and control characters.
std::string_view RightTrimmed(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(0, e);
}

bool IsBlankLine(std::string_view s) { return RightTrimmed(s).empty(); }

bool IsRecordEnd(std::string_view s) { return RightTrimmed(s) == "$$$$"; }

// A data header that may follow a value line directly (a writer that left
// out the blank line): ">" and a field name in angle brackets.
bool LooksLikeHeader(std::string_view s) {
  if (s.empty() || s[0] != '>') return false;
  const size_t open = s.find('<');
  return open != std::string_view::npos && s.find('>', open) != std::string_view::npos;
}

std::string FieldName(std::string_view header) {
  const size_t open = header.find('<');
  if (open == std::string_view::npos) return {};
  const size_t close = header.find('>', open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(header.substr(open + 1, close - open - 1));
}

}  // namespace

const std::string* SdRecord::Find(std::string_view name) const {
  for (const SdDataItem& item : data) {
    if (item.name == name) return &item.value;
  }
  return nullptr;
}

SdReader::SdReader(const std::string& path) : name_(path) {
  fd_ = OpenRegularFileForReading(path);  // a FIFO or device is refused, never waited on
  struct stat st;
  ::fstat(fd_, &st);
  ownFd_ = true;
  size_ = static_cast<uint64_t>(st.st_size);
  buffer_.resize(kBufferBytes);
}

SdReader::SdReader(int fd) : fd_(fd), name_("(fd " + std::to_string(fd) + ")") {
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<uint64_t>(st.st_size);
  buffer_.resize(kBufferBytes);
}

SdReader::SdReader(SdBytes text) : memory_(text.bytes), fromMemory_(true) {
  size_ = memory_.size();
  if (LooksGzipped(memory_)) {
    // Expanded a buffer at a time, as from a file.
    fromMemory_ = false;
    gzip_ = std::make_unique<GzipStream>();
    compressed_ = memory_;
    rawEnd_ = true;
    name_ = "(gzip)";
    buffer_.resize(kBufferBytes);
  }
}

SdReader::~SdReader() {
  if (ownFd_) ::close(fd_);
}

bool SdReader::Refill() {
  if (fromMemory_) {
    if (pos_ < memory_.size()) return true;
    return false;
  }
  if (gzip_) return RefillExpanded();
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(name_, kCannotReadFile);
    }
    pos_ = 0;
    len_ = static_cast<size_t>(n);
    if (!sniffed_) {
      sniffed_ = true;
      if (n == 1) {  // a pipe may give one byte first: the magic needs two
        ssize_t more;
        do {
          more = ::read(fd_, buffer_.data() + 1, buffer_.size() - 1);
        } while (more < 0 && errno == EINTR);
        if (more < 0) ThrowFileError(name_, kCannotReadFile);
        len_ += static_cast<size_t>(more);
      }
      if (LooksGzipped(std::string_view(buffer_.data(), len_))) {
        // A compressed file: what was read is the start of the stream.
        gzip_ = std::make_unique<GzipStream>();
        raw_.assign(buffer_.data(), buffer_.data() + len_);
        compressed_ = std::string_view(raw_.data(), raw_.size());
        return RefillExpanded();
      }
    }
    return len_ > 0;
  }
}

// The next piece of a gzip stream, expanded into buffer_.
bool SdReader::RefillExpanded() {
  for (;;) {
    if (compressed_.empty() && !rawEnd_) {
      raw_.resize(kBufferBytes);
      ssize_t n;
      do {
        n = ::read(fd_, raw_.data(), raw_.size());
      } while (n < 0 && errno == EINTR);
      if (n < 0) ThrowFileError(name_, kCannotReadFile);
      compressed_ = std::string_view(raw_.data(), static_cast<size_t>(n));
      if (n == 0) rawEnd_ = true;
    }
    const size_t before = compressed_.size();
    const size_t n = gzip_->Expand(compressed_, buffer_.data(), buffer_.size(), name_);
    compressedUsed_ += before - compressed_.size();
    if (n > 0) {
      pos_ = 0;
      len_ = n;
      return true;
    }
    if (compressed_.empty() && rawEnd_) {
      if (!gzip_->AtMemberEnd()) throw RuntimeError(std::string(kGzipDamaged) + ": " + name_);
      len_ = pos_ = 0;
      return false;
    }
    if (!compressed_.empty() && before == compressed_.size()) {
      throw RuntimeError(std::string(kGzipDamaged) + ": " + name_);
    }
  }
}

// The next line into line_; false at the end of the input. A line longer than
// the record limit is cut there (truncated_ is set) and the rest skipped.
bool SdReader::NextLine() {
  line_.clear();
  truncated_ = false;
  bool any = false;
  for (;;) {
    const char* data;
    size_t len;
    if (fromMemory_) {
      data = memory_.data();
      len = memory_.size();
    } else {
      data = buffer_.data();
      len = len_;
    }
    if (pos_ >= len) {
      if (fromMemory_ || !Refill()) {
        if (any) ++lineNumber_;
        return any;
      }
      continue;
    }
    if (skipLf_) {
      skipLf_ = false;
      if (data[pos_] == '\n') {
        ++pos_;
        ++consumed_;
        continue;
      }
    }
    if (atStart_) {
      atStart_ = false;
      if (len - pos_ >= 3 && std::memcmp(data + pos_, "\xEF\xBB\xBF", 3) == 0) {
        pos_ += 3;
        consumed_ += 3;
        continue;
      }
    }
    size_t end = pos_;
    while (end < len && data[end] != '\n' && data[end] != '\r') ++end;
    const size_t take = end - pos_;
    if (line_.size() + take <= kMaxSdRecordBytes) {
      line_.append(data + pos_, take);
    } else {
      truncated_ = true;
    }
    any = true;
    consumed_ += take;
    pos_ = end;
    if (end < len) {
      skipLf_ = data[end] == '\r';
      ++pos_;
      ++consumed_;
      ++lineNumber_;
      return true;
    }
  }
}

bool SdReader::Next(SdRecord& r) {
  r.kind = SdRecordKind::kNotMol;
  r.title.clear();
  r.molblock.clear();
  r.hadEnd = false;
  r.data.clear();

  enum class State { kBlock, kBetween, kValue };
  State state = State::kBlock;
  int blockLines = 0;
  int blanks = 0;  // blank lines since the last value line, inside kBetween
  bool blankOnly = true;
  bool any = false;
  bool ended = false;  // by "$$$$" rather than the end of the file
  bool tooLarge = false;
  size_t bytes = 0;
  auto keep = [&](size_t n) {
    bytes += n;
    if (bytes > kMaxSdRecordBytes || truncated_) tooLarge = true;
    return !tooLarge;
  };

  while (NextLine()) {
    if (!any) {
      any = true;
      r.number = ++recordNumber_;
      r.firstLine = lineNumber_;
    }
    const std::string_view line = line_;
    if (IsRecordEnd(line)) {
      ended = true;
      break;
    }
    if (!IsBlankLine(line)) blankOnly = false;

    if (state == State::kBlock) {
      if (blockLines >= 4 && !line.empty() && line[0] == '>') {
        state = State::kBetween;  // "M  END" is missing: the data items begin
      } else {
        ++blockLines;
        if (keep(line.size() + 2)) {
          r.molblock.append(line);
          r.molblock += "\r\n";
        }
        if (blockLines == 1) r.title = line.substr(0, std::min(line.size(), size_t{4096}));
        if (blockLines == 4) {
          const std::string_view version = line.size() >= 39 ? line.substr(34, 5) : "";
          r.kind = version == "V2000"   ? SdRecordKind::kV2000
                   : version == "V3000" ? SdRecordKind::kV3000
                                        : SdRecordKind::kNotMol;
        }
        if (blockLines > 4 && RightTrimmed(line) == "M  END") {
          r.hadEnd = true;
          state = State::kBetween;
        }
        continue;
      }
    }

    if (!line.empty() && line[0] == '>' && (state == State::kBetween || LooksLikeHeader(line))) {
      SdDataItem item;
      item.header = line;
      item.name = FieldName(line);
      if (keep(line.size() + item.name.size())) r.data.push_back(std::move(item));
      state = State::kValue;
      blanks = 0;
      continue;
    }
    if (IsBlankLine(line)) {
      if (state == State::kValue) state = State::kBetween;
      ++blanks;
      continue;
    }
    if (r.data.empty()) continue;  // text between the block and the first item
    // A value line; after a blank line it goes on with the blank lines kept.
    std::string& value = r.data.back().value;
    size_t breaks = value.empty() ? 0 : 1;
    if (state == State::kBetween) breaks += static_cast<size_t>(blanks);
    if (keep(breaks + line.size())) {
      value.append(breaks, '\n');
      value.append(line);
    }
    state = State::kValue;
    blanks = 0;
  }
  if (!any) return false;
  if (blankOnly && !ended) {
    --recordNumber_;  // blank lines after the last record are no record
    return false;
  }
  if (!r.hadEnd && blockLines >= 4) {
    // Trailing blank lines of a block without "M  END" go; the end is added.
    while (r.molblock.size() >= 4 &&
           r.molblock.compare(r.molblock.size() - 4, 4, "\r\n\r\n") == 0) {
      r.molblock.resize(r.molblock.size() - 2);
    }
    r.molblock += "M  END\r\n";
  }
  if (tooLarge) {
    r.kind = SdRecordKind::kTooLarge;
    r.molblock.clear();
    r.data.clear();
  }
  return true;
}

std::string SdRecordProblem(const SdRecord& record) {
  switch (record.kind) {
    case SdRecordKind::kV2000:
    case SdRecordKind::kV3000:  // read through its conversion to V2000
      return "";
    case SdRecordKind::kTooLarge:
      return SdTooLargeMessage(record.number);
    case SdRecordKind::kNotMol:
      break;
  }
  return SdNotMolMessage(record.number);
}

}  // namespace vuduzez
