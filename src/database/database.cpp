#include "database/database.h"

#include "database/record_store.h"
#include "platform/file_lock.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

// Walks the records of a database text. A line that is blank where a record
// would start is passed over; inside a record every line belongs to it (the
// formula and key lines of a structure without atoms are empty).
template <typename OnRecord>
void ForEachRecordStart(std::string_view text, OnRecord onRecord) {
  LineReader reader(text);
  while (!reader.AtEnd()) {
    std::string_view first = reader.Next();
    if (Trim(first).empty()) continue;
    onRecord(first, reader);
  }
}

void SkipRestOfRecord(LineReader& reader) {
  for (int i = 0; i < 3; ++i) reader.Next();
}

}  // namespace

std::vector<CompoundRecord> ParseRecords(std::string_view text) {
  std::vector<CompoundRecord> records;
  ForEachRecordStart(text, [&](std::string_view name, LineReader& reader) {
    CompoundRecord r;
    r.name = name;
    r.weight = reader.Next();
    r.formula = reader.Next();
    r.key = reader.Next();
    records.push_back(std::move(r));
  });
  return records;
}

std::vector<std::string> LoadNameLinesAsRead(const std::string& dbPath) {
  const std::string text = DatabaseLock(dbPath, LockMode::kShared).ReadAll();
  std::vector<std::string> names;
  ForEachRecordStart(text, [&](std::string_view name, LineReader& reader) {
    names.emplace_back(name);
    SkipRestOfRecord(reader);
  });
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
        LineReader reader(text);
        while (!reader.AtEnd()) {
          std::string first = Trim(reader.Next());
          if (first.empty()) {
            // Not a record: kept as the empty line it is.
            kept += "\r\n";
            continue;
          }
          if (first == name) {
            SkipRestOfRecord(reader);
            ++removed;
            continue;
          }
          kept += first;
          kept += "\r\n";
          // A short last record keeps only the lines it has.
          for (int i = 0; i < 3 && !reader.AtEnd(); ++i) {
            kept += Trim(reader.Next());
            kept += "\r\n";
          }
        }
        return kept;
      },
      fault);
  return removed;
}

}  // namespace vuduzez
