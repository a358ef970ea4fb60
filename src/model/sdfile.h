// SD files: MOL blocks each followed by data items, records ended by "$$$$".
// The reader streams: it holds one record at a time, so a file of any size is
// read in constant memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vuduzez {

class GzipStream;

// One data item: a header line "> <FIELD> ..." and its value lines.
struct SdDataItem {
  std::string name;    // the text between the first "<" and the next ">" (empty when none)
  std::string header;  // the header line as read
  std::string value;   // value lines joined by "\n"
};

enum class SdRecordKind {
  kV2000,     // a MOL V2000 block
  kV3000,     // a MOL V3000 block
  kNotMol,    // no counts line naming V2000 or V3000 (also a record shorter than four lines)
  kTooLarge,  // beyond kMaxSdRecordBytes; its content was dropped
};

// Records larger than this are skipped whole: it bounds the reader's memory.
inline constexpr size_t kMaxSdRecordBytes = 64u << 20;

struct SdRecord {
  int64_t number = 0;     // 1-based position of the record in the file
  int64_t firstLine = 0;  // line number of its first line
  SdRecordKind kind = SdRecordKind::kNotMol;
  std::string title;     // first line of the MOL block
  std::string molblock;  // the MOL block, every line ended by CR LF, through "M  END"
  bool hadEnd = false;   // false when the block had no "M  END" (it was added)
  std::vector<SdDataItem> data;

  // The value of the first item named name, or nullptr.
  const std::string* Find(std::string_view name) const;
};

// Bytes held by the caller, to read an SD text in memory.
struct SdBytes {
  std::string_view bytes;
};

// Reads records one at a time from a file, a descriptor or bytes in memory,
// gzip-compressed or not (".sdf.gz" is read as what it holds). Lines end at
// CR LF, LF or CR; a UTF-8 byte order mark at the start is skipped. A data item ends at a blank
// line; lines after that blank line that do not start a new item ("> ...") or end the record
// continue the item, blank lines kept, so values written with blank lines in them survive. A MOL
// block without "M  END" ends at the first data header after its counts line.
class SdReader {
 public:
  // Opens the file; throws RuntimeError when it is missing or not a regular file.
  explicit SdReader(const std::string& path);
  // Reads from an open descriptor, which stays open.
  explicit SdReader(int fd);
  // Reads bytes held by the caller for the reader's whole life.
  explicit SdReader(SdBytes text);
  ~SdReader();
  SdReader(const SdReader&) = delete;
  SdReader& operator=(const SdReader&) = delete;

  // The next record into record (its buffers are reused); false at the end.
  // Throws RuntimeError when the file cannot be read.
  bool Next(SdRecord& record);

  // Bytes consumed so far (of the compressed file, for a gzip-compressed one)
  // and the size of the file (0 when unknown), for progress.
  uint64_t BytesRead() const { return gzip_ ? compressedUsed_ : consumed_; }
  uint64_t Size() const { return size_; }

 private:
  bool Refill();
  bool RefillExpanded();
  bool NextLine();

  int fd_ = -1;
  bool ownFd_ = false;
  std::string name_;  // for messages
  std::string_view memory_;
  bool fromMemory_ = false;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool skipLf_ = false;
  bool atStart_ = true;
  bool truncated_ = false;  // the last line was cut at the record limit
  uint64_t consumed_ = 0;
  // A gzip-compressed input: expanded into buffer_ from compressed_, which
  // views raw_ (read from the file) or the caller's bytes.
  std::unique_ptr<GzipStream> gzip_;
  std::vector<char> raw_;
  std::string_view compressed_;
  bool rawEnd_ = false;
  bool sniffed_ = false;
  uint64_t compressedUsed_ = 0;
  uint64_t size_ = 0;
  int64_t lineNumber_ = 0;
  int64_t recordNumber_ = 0;
  std::string line_;
};

// Why a record cannot be read as a MOL block ("" when it can: V2000, or V3000
// through its conversion), with its number: "レコード 5: MOL V2000 のブロックではありません".
std::string SdRecordProblem(const SdRecord& record);

}  // namespace vuduzez
