#include "database/database.h"

#include <cstdio>

#include "platform/scratch.h"
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
  const std::string text = ReadFileBytes(dbPath);
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
  AppendRecord(dbPath, record.name, record.weight, record.formula, record.key);
}

void AppendRecord(const std::string& dbPath, const std::string& name, const std::string& weight,
                  const std::string& formula, const std::string& key) {
  std::string bytes;
  bytes.reserve(name.size() + weight.size() + formula.size() + key.size() + 10);
  // A last line without its line end (a file cut short or edited by hand)
  // would swallow the new name line; end it first.
  if (IsRegularFile(dbPath)) {
    std::FILE* f = std::fopen(dbPath.c_str(), "rb");
    if (f != nullptr) {
      if (std::fseek(f, -1, SEEK_END) == 0) {
        int last = std::fgetc(f);
        if (last != EOF && last != '\n' && last != '\r') bytes += "\r\n";
      }
      std::fclose(f);
    }
  }
  for (const std::string* line : {&name, &weight, &formula, &key}) {
    bytes += *line;
    bytes += "\r\n";
  }
  AppendToExistingFile(dbPath, bytes);
}

std::optional<std::string> FindRegisteredLine(const std::string& dbPath, const std::string& text) {
  for (std::string& line : LoadNameLinesAsRead(dbPath)) {
    if (Trim(line) == text) return std::move(line);
  }
  return std::nullopt;
}

int DeleteRecords(const std::string& dbPath, const std::string& name,
                  const std::string& scratchFolder, const ReplaceFault& fault) {
  const std::string scratch = ScratchPath(scratchFolder, kDeleteScratchName);
  if (FileExists(scratch)) std::remove(scratch.c_str());

  const std::string text = ReadFileBytes(dbPath);
  std::string kept;
  kept.reserve(text.size());
  int removed = 0;
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
  WriteFileBytes(scratch, kept);
  ReplaceDatabaseFile(dbPath, scratch, fault);
  return removed;
}

void ReplaceDatabaseFile(const std::string& dbPath, const std::string& scratchPath,
                         const ReplaceFault& fault) {
  const std::string bytes = ReadFileBytes(scratchPath);
  ReplaceFileAtomically(dbPath, bytes, fault);
  std::remove(scratchPath.c_str());
}

}  // namespace vuduzez
