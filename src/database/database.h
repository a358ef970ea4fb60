// The compound database file: four-line records (name line, weight line,
// formula line, key line), CP932 bytes, CR LF line ends. Readers accept CR LF,
// LF and CR. A blank line where a record would start is not a record: it is
// passed over by every reader (the writers never write one).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

// The UTF-8 byte-order mark that Windows editors write at the start of a
// text file. Every reader of a database (and of vuduzez.ini) passes over it
// there; the file keeps it, also when it is rewritten.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
inline bool StartsWithByteOrderMark(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

// One record as stored (texts exactly as held, CP932).
struct CompoundRecord {
  std::string name;     // name line: the MOL file name with its extension
  std::string weight;   // molweight, e.g. "78.11"
  std::string formula;  // molformula
  std::string key;      // keydata, whole
  bool operator==(const CompoundRecord&) const = default;
};

// One record as it stands in a database text: views into the text, valid
// while the text is.
struct RecordLines {
  std::string_view name;
  std::string_view weight;
  std::string_view formula;
  std::string_view key;
  int line = 0;   // line number of the name line (1-based)
  int count = 0;  // lines the text holds of it: 4, fewer for a short last record
};

// The one reader of the record format, used by every reader of a database
// (name list, duplicate test, deletion, the search load). A line that is
// blank (only characters up to code 32) where a record would start is not a
// record and is passed over; inside a record every line belongs to it (the
// formula and key lines of a structure without atoms are empty). Lines of a
// short last record that the text does not hold read as empty.
class RecordReader {
 public:
  // fileStart: text starts at the start of the file, where a byte-order mark
  // is passed over.
  explicit RecordReader(std::string_view text, bool fileStart = true)
      : lines_(fileStart && StartsWithByteOrderMark(text) ? text.substr(kByteOrderMark.size())
                                                          : text) {}
  // The next record; false at the end of the text.
  bool Next(RecordLines& record);
  // Blank lines passed over before the record Next gave last (after Next
  // returned false: those at the end of the text).
  int BlankLinesBefore() const { return blanks_; }

 private:
  LineReader lines_;
  int blanks_ = 0;
};

// The records of an open file read in chunks, for readers whose memory must
// not grow with the database: the views of a record stay valid until the
// next call. Reads the same records, blank lines and line numbers as
// RecordReader on the whole text. Throws RuntimeError naming path when the
// file cannot be read.
class RecordStream {
 public:
  RecordStream(int fd, std::string path, off_t from = 0);
  bool Next(RecordLines& record);
  int BlankLinesBefore() const { return blanks_; }
  // File offset of the name line of the record Next gave last.
  off_t RecordOffset() const { return recordOffset_; }
  // Bytes read so far; after Next returned false, the file's size.
  off_t Offset() const { return base_ + static_cast<off_t>(end_); }
  // After Next returned false: the last bytes of the file read (up to 64).
  const std::string& LastBytes() const { return lastBytes_; }
  // Whether the file starts with a byte-order mark (passed over).
  bool ByteOrderMark() const { return bom_; }

 private:
  bool Fill();  // reads more; false at the end of the file
  // The line of the data read that starts at offset at of buf_, and where the
  // next starts; false when only more data can tell where it ends.
  bool LineAt(size_t at, std::string_view& line, size_t& next) const;

  int fd_;
  std::string path_;
  std::string buf_;
  size_t begin_ = 0;  // first unread byte of buf_
  size_t end_ = 0;    // bytes of buf_ that hold file data
  off_t base_ = 0;    // file offset of buf_[0]
  off_t recordOffset_ = 0;
  bool eof_ = false;
  int blanks_ = 0;
  int line_ = 0;
  std::string lastBytes_;
  bool bomChecked_ = false;
  bool bom_ = false;
};

// Every function below that opens the database holds its shared lock while it
// reads, every writer its exclusive lock (platform/file_lock.h).

// The trimmed name line of each record, in file order (the name list of the
// registration window). Throws RuntimeError when the file cannot be read.
std::vector<std::string> LoadNameList(const std::string& dbPath);

// The name lines as read (not trimmed), in file order; for FindRegisteredLine
// callers that look many names up at once.
std::vector<std::string> LoadNameLinesAsRead(const std::string& dbPath);

// Calls each with every name line as read, in file order, reading the file in
// chunks (memory independent of its size).
void ForEachNameLine(const std::string& dbPath, const std::function<void(std::string_view)>& each);

// The bytes a record takes in the file as the writers write it.
inline uint64_t RecordSize(const CompoundRecord& r) {
  return r.name.size() + r.weight.size() + r.formula.size() + r.key.size() + 8;
}

// Appends one record (four lines, each followed by CR LF) to an existing file
// and flushes it to disk; the file is never created. A file that does not end
// with a whole record is refused (DamageMessage). Throws RuntimeError on
// failure; a failed append leaves the file as it was.
void AppendRecord(const std::string& dbPath, const CompoundRecord& record);
void AppendRecord(const std::string& dbPath, const std::string& name, const std::string& weight,
                  const std::string& formula, const std::string& key);

// The first name line that, trimmed, equals text, as read (not trimmed). Only
// name lines are compared, never weight, formula or key lines.
std::optional<std::string> FindRegisteredLine(const std::string& dbPath, const std::string& text);

// Removes every record whose trimmed name line equals name. The kept lines are
// written back trimmed, through ReplaceFileAtomically. Returns the number of
// records removed. On failure the database file is unchanged.
int DeleteRecords(const std::string& dbPath, const std::string& name,
                  const ReplaceFault& fault = {});

// Replaces the database file under its exclusive lock: the replacements a
// killed process left are removed first, then ReplaceFileWith. produce reads
// the current file (open at fd, positioned nowhere in particular: use pread or
// RecordStream) and writes the new bytes to out as it goes.
void RewriteDatabaseFile(const std::string& dbPath,
                         const std::function<void(int fd, ReplacementWriter& out)>& produce,
                         const ReplaceFault& fault = {});

// The records of a database text, for tools and tests (a short last record
// gets empty lines for the missing ones).
std::vector<CompoundRecord> ParseRecords(std::string_view text);

}  // namespace vuduzez
