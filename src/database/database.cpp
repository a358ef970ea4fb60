#include "database/database.h"

#include "database/record_store.h"
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
  const std::string text = DatabaseLock(dbPath, LockMode::kShared).ReadAll();
  std::vector<std::string> names;
  RecordReader reader(text);
  RecordLines r;
  while (reader.Next(r)) names.emplace_back(r.name);
  return names;
}

std::vector<std::string> LoadNameList(const std::string& dbPath) {
  std::vector<std::string> names = LoadNameLinesAsRead(dbPath);
  for (std::string& n : names) n = Trim(n);
  return names;
}

void AppendRecord(const std::string& dbPath, const CompoundRecord& record) {
  RecordStore(dbPath, 1).Append(record);
}

void AppendRecord(const std::string& dbPath, const std::string& name, const std::string& weight,
                  const std::string& formula, const std::string& key) {
  AppendRecord(dbPath, CompoundRecord{name, weight, formula, key});
}

std::optional<std::string> FindRegisteredLine(const std::string& dbPath, const std::string& text) {
  for (std::string& line : LoadNameLinesAsRead(dbPath)) {
    if (Trim(line) == text) return std::move(line);
  }
  return std::nullopt;
}

void RewriteDatabaseFile(const std::string& dbPath,
                         const std::function<std::string(const std::string&)>& transform,
                         const ReplaceFault& fault) {
  DatabaseLock lock(dbPath, LockMode::kExclusive);
  RemoveStaleReplacements(dbPath);
  ReplaceFileAtomically(dbPath, transform(lock.ReadAll()), fault);
}

int DeleteRecords(const std::string& dbPath, const std::string& name, const ReplaceFault& fault) {
  int removed = 0;
  RewriteDatabaseFile(
      dbPath,
      [&](const std::string& text) {
        std::string kept;
        kept.reserve(text.size());
        RecordReader reader(text);
        RecordLines r;
        for (bool more = true; more;) {
          more = reader.Next(r);
          // Blank lines are not records: kept as the empty lines they are.
          for (int i = 0; i < reader.BlankLinesBefore(); ++i) kept += "\r\n";
          if (!more) break;
          if (Trim(r.name) == name) {
            ++removed;
            continue;
          }
          // A short last record keeps only the lines it has.
          const std::string_view lines[] = {r.name, r.weight, r.formula, r.key};
          for (int i = 0; i < r.count; ++i) {
            kept += Trim(lines[i]);
            kept += "\r\n";
          }
        }
        return kept;
      },
      fault);
  return removed;
}

}  // namespace vuduzez
