#include "search/hit_export.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "database/database.h"
#include "database/mol_files.h"
#include "model/molreader.h"
#include "model/sdfile.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/messages.h"

namespace vuduzez {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

std::optional<HitFormat> ParseHitFormat(std::string_view text) {
  if (text == "names") return HitFormat::kNames;
  if (text == "sdf") return HitFormat::kSdf;
  if (text == "csv") return HitFormat::kCsv;
  if (text == "json") return HitFormat::kJson;
  return std::nullopt;
}

std::optional<HitFormat> HitFormatForFile(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return std::nullopt;
  }
  const std::string ext = Lower(path.substr(dot + 1));
  if (ext == "sdf" || ext == "sd") return HitFormat::kSdf;
  if (ext == "csv") return HitFormat::kCsv;
  if (ext == "json" || ext == "jsonl") return HitFormat::kJson;
  if (ext == "txt") return HitFormat::kNames;
  return std::nullopt;
}

HitRecords HitRecordsFor(const std::string& dbPath, const std::vector<std::string>& names) {
  HitRecords records;
  if (dbPath.empty() || names.empty()) return records;
  for (const std::string& n : names) records.try_emplace(n);
  std::unordered_map<std::string, bool> seen;
  try {
    DatabaseLock lock(dbPath, LockMode::kShared);
    RecordStream stream(lock.fd(), dbPath);
    for (RecordLines r; stream.Next(r);) {
      auto it = records.find(std::string(CompoundName(r.name)));
      if (it == records.end() || seen[it->first]) continue;
      seen[it->first] = true;
      it->second = {std::string(r.formula), std::string(r.weight)};
    }
  } catch (const RuntimeError&) {
    return {};
  }
  // Names the file does not hold keep nothing.
  for (auto it = records.begin(); it != records.end();) {
    it = seen.count(it->first) ? std::next(it) : records.erase(it);
  }
  return records;
}

namespace {

// Without its MOL file the record's own lines say what the hit is.
void FromRecord(HitExport& hit, const std::string& name, const HitRecords* records) {
  if (records == nullptr) return;
  if (auto it = records->find(name); it != records->end()) {
    hit.formula = AnsiToUtf8(it->second.formula);
    hit.weight = it->second.weight;
  }
}

}  // namespace

HitExport PrepareHitExport(Molecule& mol, const std::string& molFolder, const std::string& name,
                           const HitRecords* records) {
  HitExport hit;
  hit.name = AnsiToUtf8(name);
  auto fromRecord = [&] { FromRecord(hit, name, records); };
  const std::string path = HitMolPath(molFolder, name);
  if (!IsRegularFile(path)) {
    hit.error = kNoFile;
    fromRecord();
    return hit;
  }
  try {
    std::string text = ReadFileBytes(path);
    SilentSink sink;  // the refusal becomes the hit's error
    const MolReadResult read = ReadMolText(mol, text, sink);
    if (!read) {
      hit.error = read.message;
      fromRecord();
      return hit;
    }
    CalcFormulaWeight(mol);
    hit.formula = AnsiToUtf8(mol.molformula);
    hit.weight = mol.molweight;
    // The MOL file's own block, through "M  END", its lines ended by CR LF,
    // and the data items it keeps after it.
    SdReader reader(SdBytes{text});
    SdRecord block;
    if (reader.Next(block)) {
      hit.molfile = std::move(block.molblock);
      for (SdDataItem& item : block.data) hit.data.emplace_back(item.name, std::move(item.value));
    }
  } catch (const RuntimeError& e) {
    hit.error = e.what();
    fromRecord();
  }
  return hit;
}

namespace {

// An SD data item: its header and value lines, then the blank line.
void PutItem(std::string& out, std::string_view field, std::string_view value) {
  out += ">  <";
  out += field;
  out += ">\r\n";
  for (size_t from = 0;;) {
    const size_t nl = value.find('\n', from);
    out += value.substr(from, nl == std::string_view::npos ? std::string_view::npos : nl - from);
    out += "\r\n";
    if (nl == std::string_view::npos) break;
    from = nl + 1;
  }
  out += "\r\n";
}

// The block of a hit without a structure: its name, no atoms.
std::string EmptyBlock(const std::string& name) {
  return name + "\r\n\r\n\r\n  0  0  0  0  0  0  0  0  0  0999 V2000\r\nM  END\r\n";
}

}  // namespace

std::string SdHitRecord(const HitExport& hit, bool queryItem,
                        const std::vector<std::string>& extraColumns) {
  std::string out = hit.molfile.empty() ? EmptyBlock(hit.name) : hit.molfile;
  for (const auto& [field, value] : hit.data) PutItem(out, field, value);
  if (queryItem) PutItem(out, "query", hit.query);
  PutItem(out, "name", hit.name);
  PutItem(out, "formula", hit.formula);
  PutItem(out, "weight", hit.weight);
  for (size_t i = 0; i < extraColumns.size(); ++i) {
    PutItem(out, extraColumns[i], i < hit.extra.size() ? hit.extra[i] : std::string());
  }
  if (hit.molfile.empty()) PutItem(out, kErrorItem, hit.error.empty() ? kNoFile : hit.error);
  return out + "$$$$\r\n";
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos &&
      (text.empty() || (text.front() != ' ' && text.back() != ' '))) {
    return std::string(text);
  }
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string JsonText(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(std::string_view text) {
  // JSON's number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  size_t i = 0;
  const auto digits = [&] {
    const size_t from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
  };
  if (i < text.size() && text[i] == '-') ++i;
  const size_t intStart = i;
  const size_t intDigits = digits();
  bool ok = intDigits > 0 && !(intDigits > 1 && text[intStart] == '0');
  if (ok && i < text.size() && text[i] == '.') {
    ++i;
    ok = digits() > 0;
  }
  if (ok && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    ok = digits() > 0;
  }
  return ok && i == text.size() ? std::string(text) : std::string("null");
}

HitWriter::HitWriter(std::ostream& out, HitFormat format, bool queryColumn,
                     std::vector<std::string> extraColumns)
    : out_(out),
      format_(format),
      queryColumn_(queryColumn),
      extraColumns_(std::move(extraColumns)) {}

HitWriter::~HitWriter() {
  try {
    Finish();
  } catch (...) {
  }
}

bool HitWriter::Write(const HitExport& hit) {
  auto extra = [&](size_t i) { return i < hit.extra.size() ? hit.extra[i] : std::string(); };
  switch (format_) {
    case HitFormat::kNames:
      if (queryColumn_) out_ << hit.query << '\t';
      out_ << hit.name;
      for (size_t i = 0; i < extraColumns_.size(); ++i) out_ << '\t' << extra(i);
      out_ << '\n';
      return true;
    case HitFormat::kSdf:
      out_ << SdHitRecord(hit, queryColumn_, extraColumns_);
      break;
    case HitFormat::kCsv: {
      for (const auto& item : hit.data) {
        if (std::find(dataColumns_.begin(), dataColumns_.end(), item.first) == dataColumns_.end()) {
          dataColumns_.push_back(item.first);
        }
      }
      HitExport row = hit;
      row.molfile.clear();  // only the columns wait
      rows_.push_back(std::move(row));
      break;
    }
    case HitFormat::kJson:
      out_ << '{';
      if (queryColumn_) out_ << "\"query\":" << JsonText(hit.query) << ',';
      out_ << "\"name\":" << JsonText(hit.name) << ",\"formula\":" << JsonText(hit.formula)
           << ",\"weight\":" << JsonNumber(hit.weight);
      for (size_t i = 0; i < extraColumns_.size(); ++i) {
        // A score is a number; a layer name a text.
        const std::string number = JsonNumber(extra(i));
        out_ << ',' << JsonText(extraColumns_[i]) << ':'
             << (number == "null" ? JsonText(extra(i)) : number);
      }
      if (!hit.data.empty()) {
        out_ << ",\"data\":{";
        for (size_t i = 0; i < hit.data.size(); ++i) {
          out_ << (i ? "," : "") << JsonText(hit.data[i].first) << ':'
               << JsonText(hit.data[i].second);
        }
        out_ << '}';
      }
      if (!hit.error.empty()) out_ << ",\"error\":" << JsonText(hit.error);
      out_ << "}\n";
      break;
  }
  return hit.error.empty();
}

void HitWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  if (format_ != HitFormat::kCsv) return;
  if (queryColumn_) out_ << "query,";
  out_ << "name,formula,weight";
  for (const std::string& c : extraColumns_) out_ << ',' << CsvField(c);
  for (const std::string& c : dataColumns_) out_ << ',' << CsvField(c);
  out_ << "\r\n";
  for (const HitExport& hit : rows_) {
    if (queryColumn_) out_ << CsvField(hit.query) << ',';
    out_ << CsvField(hit.name) << ',' << CsvField(hit.formula) << ',' << CsvField(hit.weight);
    for (size_t i = 0; i < extraColumns_.size(); ++i) {
      out_ << ',' << CsvField(i < hit.extra.size() ? hit.extra[i] : std::string());
    }
    for (const std::string& c : dataColumns_) {
      std::string value;
      for (const auto& item : hit.data) {
        if (item.first == c) {
          value = item.second;
          break;
        }
      }
      out_ << ',' << CsvField(value);
    }
    out_ << "\r\n";
  }
  rows_.clear();
}

HitCounts WriteHits(HitWriter& writer, HitFormat format, const std::vector<std::string>& hitnames,
                    const std::string& molFolder, const std::string& dbPath,
                    const std::function<void(const std::string&)>& report, const std::string& query,
                    const std::vector<std::vector<std::string>>* extra) {
  Molecule mol;
  HitCounts counts;
  // The records' lines, read once, for the hits that turn out to need them.
  std::optional<HitRecords> records;
  for (size_t i = 0; i < hitnames.size(); ++i) {
    const std::string& name = hitnames[i];
    HitExport hit;
    if (format == HitFormat::kNames) {
      hit.name = AnsiToUtf8(name);
    } else {
      hit = PrepareHitExport(mol, molFolder, name);
      if (!hit.error.empty() && !dbPath.empty()) {
        if (!records) records = HitRecordsFor(dbPath, hitnames);
        FromRecord(hit, name, &*records);
      }
    }
    hit.query = query;
    if (extra != nullptr && i < extra->size()) hit.extra = (*extra)[i];
    ++counts.written;
    if (!writer.Write(hit)) {
      ++counts.withoutStructure;
      if (report) report(hit.name + ": " + hit.error);
    }
  }
  return counts;
}

HitCounts WriteHits(std::ostream& out, HitFormat format, const std::vector<std::string>& hitnames,
                    const std::string& molFolder, const std::string& dbPath,
                    const std::function<void(const std::string&)>& report) {
  HitWriter writer(out, format);
  const HitCounts counts = WriteHits(writer, format, hitnames, molFolder, dbPath, report);
  writer.Finish();
  return counts;
}

HitCounts SaveHits(const std::string& path, HitFormat format,
                   const std::vector<std::string>& hitnames, const std::string& molFolder,
                   const std::string& dbPath, const std::function<void(const std::string&)>& report,
                   const std::vector<std::string>& extraColumns,
                   const std::vector<std::vector<std::string>>* extra) {
  std::ostringstream out;
  HitWriter writer(out, format, false, extraColumns);
  const HitCounts counts =
      WriteHits(writer, format, hitnames, molFolder, dbPath, report, {}, extra);
  writer.Finish();
  ReplaceFileAtomically(path, out.str());
  return counts;
}

}  // namespace vuduzez
