#include "database/database.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "database/record_store.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

}  // namespace

bool RecordReader::Next(RecordLines& record) {
  blanks_ = 0;
  while (!lines_.AtEnd()) {
    const std::string_view first = lines_.Next();
    if (IsBlank(first)) {
      ++blanks_;
      continue;
    }
    record.name = first;
    record.line = lines_.LineNumber();
    record.count = 1;
    auto field = [this, &record] {
      if (!lines_.AtEnd()) ++record.count;
      return lines_.Next();
    };
    record.weight = field();
    record.formula = field();
    record.key = field();
    return true;
  }
  return false;
}

namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr size_t kLastBytes = 64;

}  // namespace

RecordStream::RecordStream(int fd, std::string path, off_t from)
    : fd_(fd), path_(std::move(path)), base_(from), recordOffset_(from) {}

bool RecordStream::Fill() {
  if (eof_) return false;
  // What was read already moves to the front; the buffer grows only for a
  // record longer than it.
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    base_ += static_cast<off_t>(begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // Resized (and so cleared) only when less than half a chunk is free.
  if (buf_.size() < end_ + kChunk / 2) buf_.resize(end_ + kChunk);
  for (;;) {
    const ssize_t n =
        ::pread(fd_, buf_.data() + end_, buf_.size() - end_, base_ + static_cast<off_t>(end_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError(path_ + " (" + std::strerror(errno) + ")", kCannotReadFile);
    if (n == 0) {
      eof_ = true;
      const size_t keep = std::min(end_, kLastBytes);
      lastBytes_.assign(buf_.data() + end_ - keep, keep);
      return false;
    }
    end_ += static_cast<size_t>(n);
    return true;
  }
}

bool RecordStream::LineAt(size_t at, std::string_view& line, size_t& next) const {
  const std::string_view window(buf_.data(), end_);
  const size_t e = FindLineEnd(window, at);
  if (e == std::string_view::npos) {
    if (!eof_) return false;
    line = window.substr(at);
    next = end_;
    return true;
  }
  // A CR that ends the data read may be the first half of a CR LF.
  if (window[e] == '\r' && e + 1 == end_ && !eof_) return false;
  line = window.substr(at, e - at);
  next = e + 1 + (window[e] == '\r' && e + 1 < end_ && window[e + 1] == '\n' ? 1 : 0);
  return true;
}

bool RecordStream::Next(RecordLines& record) {
  blanks_ = 0;
  if (!bomChecked_) {
    // A byte-order mark at the very start of the file is no part of a line.
    bomChecked_ = true;
    while (end_ < kByteOrderMark.size() && Fill()) {
    }
    if (base_ == 0 && begin_ == 0 && StartsWithByteOrderMark({buf_.data(), end_})) {
      begin_ = kByteOrderMark.size();
      bom_ = true;
    }
  }
  // Each line is looked at once; when the data read ends inside the record,
  // more is read and the record is taken again from its start.
  for (;;) {
    if (begin_ >= end_) {
      if (!Fill()) return false;
      continue;
    }
    std::string_view first;
    size_t at = 0;
    if (!LineAt(begin_, first, at)) {
      Fill();
      continue;
    }
    if (IsBlank(first)) {
      ++blanks_;
      ++line_;
      begin_ = at;
      continue;
    }
    std::string_view fields[3];
    int count = 1;
    bool whole = true;
    for (std::string_view& field : fields) {
      if (at >= end_) {
        if (eof_) continue;  // a short last record: the missing lines read as empty
        whole = false;
        break;
      }
      ++count;
      if (!LineAt(at, field, at)) {
        whole = false;
        break;
      }
    }
    if (!whole) {
      Fill();
      continue;
    }
    recordOffset_ = base_ + static_cast<off_t>(begin_);
    record.name = first;
    record.weight = fields[0];
    record.formula = fields[1];
    record.key = fields[2];
    record.line = ++line_;
    record.count = count;
    line_ += 3;
    begin_ = at;
    return true;
  }
}

void ForEachNameLine(const std::string& dbPath, const std::function<void(std::string_view)>& each) {
  DatabaseLock lock(dbPath, LockMode::kShared);
  RecordStream stream(lock.fd(), dbPath);
  for (RecordLines r; stream.Next(r);) each(r.name);
}

std::vector<CompoundRecord> ParseRecords(std::string_view text) {
  std::vector<CompoundRecord> records;
  RecordReader reader(text);
  RecordLines r;
  while (reader.Next(r)) {
    records.push_back(
        {std::string(r.name), std::string(r.weight), std::string(r.formula), std::string(r.key)});
  }
  return records;
}

std::vector<std::string> LoadNameLinesAsRead(const std::string& dbPath) {
  std::vector<std::string> names;
  ForEachNameLine(dbPath, [&](std::string_view name) { names.emplace_back(name); });
  return names;
}

std::vector<std::string> LoadNameList(const std::string& dbPath) {
  std::vector<std::string> names;
  ForEachNameLine(dbPath, [&](std::string_view name) { names.push_back(Trim(name)); });
  return names;
}

void AppendRecord(const std::string& dbPath, const CompoundRecord& record) {
  RecordStore store(dbPath, 1);
  store.Watch({});  // no duplicate test: no names kept
  store.Append(record);
}

void AppendRecord(const std::string& dbPath, const std::string& name, const std::string& weight,
                  const std::string& formula, const std::string& key) {
  AppendRecord(dbPath, CompoundRecord{name, weight, formula, key});
}

std::optional<std::string> FindRegisteredLine(const std::string& dbPath, const std::string& text) {
  DatabaseLock lock(dbPath, LockMode::kShared);
  RecordStream stream(lock.fd(), dbPath);
  for (RecordLines r; stream.Next(r);) {
    if (TrimView(r.name) == text) return std::string(r.name);
  }
  return std::nullopt;
}

void RewriteDatabaseFile(const std::string& dbPath,
                         const std::function<void(int fd, ReplacementWriter& out)>& produce,
                         const ReplaceFault& fault) {
  DatabaseLock lock(dbPath, LockMode::kExclusive);
  RemoveStaleReplacements(dbPath);
  ReplaceFileWith(
      dbPath, [&](ReplacementWriter& out) { produce(lock.fd(), out); }, fault);
}

int DeleteRecords(const std::string& dbPath, const std::string& name, const ReplaceFault& fault) {
  int removed = 0;
  RewriteDatabaseFile(
      dbPath,
      [&](int fd, ReplacementWriter& kept) {
        removed = 0;
        RecordStream stream(fd, dbPath);
        RecordLines r;
        for (bool more = true, first = true; more; first = false) {
          more = stream.Next(r);
          // The file keeps the byte-order mark it starts with.
          if (first && stream.ByteOrderMark()) kept.Write(kByteOrderMark);
          // Blank lines are not records: kept as the empty lines they are.
          for (int i = 0; i < stream.BlankLinesBefore(); ++i) kept.Write("\r\n");
          if (!more) break;
          if (TrimView(r.name) == name) {
            ++removed;
            continue;
          }
          // A short last record keeps only the lines it has.
          const std::string_view lines[] = {r.name, r.weight, r.formula, r.key};
          for (int i = 0; i < r.count; ++i) {
            kept.Write(TrimView(lines[i]));
            kept.Write("\r\n");
          }
        }
      },
      fault);
  return removed;
}

}  // namespace vuduzez
