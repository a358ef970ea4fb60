#include "search/hit_export.h"

#include <cstdio>
#include <sstream>

#include "model/molreader.h"
#include "model/sdfile.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "search/search.h"

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

HitExport PrepareHitExport(Molecule& mol, const std::string& molFolder, const std::string& name) {
  HitExport hit;
  hit.name = AnsiToUtf8(name);
  const std::string path = HitMolPath(molFolder, name);
  if (!IsRegularFile(path)) {
    hit.error = kNoFile;
    return hit;
  }
  try {
    std::string text = ReadFileBytes(path);
    SilentSink sink;  // the refusal becomes the hit's error
    const MolReadResult read = ReadMolText(mol, text, sink);
    if (!read) {
      hit.error = read.message;
      return hit;
    }
    CalcFormulaWeight(mol);
    hit.formula = mol.molformula;
    hit.weight = mol.molweight;
    hit.molfile = std::move(text);
  } catch (const RuntimeError& e) {
    hit.error = e.what();
  }
  return hit;
}

std::string SdHitRecord(const HitExport& hit, bool queryItem, bool scoreItem) {
  if (hit.molfile.empty()) return {};
  // The MOL file's own block, through "M  END", its lines ended by CR LF.
  SdReader reader(SdBytes{hit.molfile});
  SdRecord block;
  if (!reader.Next(block)) return {};
  std::string out = block.molblock;
  if (queryItem) out += ">  <query>\r\n" + hit.query + "\r\n\r\n";
  for (const auto& [field, value] : {std::pair<const char*, const std::string&>{"name", hit.name},
                                     {"formula", hit.formula},
                                     {"weight", hit.weight}}) {
    out += ">  <";
    out += field;
    out += ">\r\n";
    out += value;
    out += "\r\n\r\n";
  }
  if (scoreItem) out += ">  <similarity>\r\n" + hit.score + "\r\n\r\n";
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

HitWriter::HitWriter(std::ostream& out, HitFormat format, bool queryColumn, bool scoreColumn)
    : out_(out), format_(format), queryColumn_(queryColumn), scoreColumn_(scoreColumn) {
  if (format_ == HitFormat::kCsv) {
    out_ << (queryColumn_ ? "query," : "") << "name,formula,weight"
         << (scoreColumn_ ? ",similarity" : "") << "\r\n";
  }
}

bool HitWriter::Write(const HitExport& hit) {
  switch (format_) {
    case HitFormat::kNames:
      if (queryColumn_) out_ << hit.query << '\t';
      out_ << hit.name;
      if (scoreColumn_) out_ << '\t' << hit.score;
      out_ << '\n';
      return true;
    case HitFormat::kSdf: {
      const std::string record = SdHitRecord(hit, queryColumn_, scoreColumn_);
      out_ << record;
      return !record.empty();
    }
    case HitFormat::kCsv:
      if (queryColumn_) out_ << CsvField(hit.query) << ',';
      out_ << CsvField(hit.name) << ',' << CsvField(hit.formula) << ',' << CsvField(hit.weight);
      if (scoreColumn_) out_ << ',' << CsvField(hit.score);
      out_ << "\r\n";
      return hit.error.empty();
    case HitFormat::kJson:
      out_ << '{';
      if (queryColumn_) out_ << "\"query\":" << JsonText(hit.query) << ',';
      out_ << "\"name\":" << JsonText(hit.name) << ",\"formula\":" << JsonText(hit.formula)
           << ",\"weight\":" << JsonNumber(hit.weight);
      if (!hit.error.empty()) out_ << ",\"error\":" << JsonText(hit.error);
      if (scoreColumn_) out_ << ",\"similarity\":" << JsonNumber(hit.score);
      out_ << "}\n";
      return hit.error.empty();
  }
  return false;
}

int WriteHits(std::ostream& out, HitFormat format, const std::vector<std::string>& hitnames,
              const std::string& molFolder, const std::function<void(const std::string&)>& report) {
  HitWriter writer(out, format);
  return WriteHits(writer, format, hitnames, molFolder, report);
}

int WriteHits(HitWriter& writer, HitFormat format, const std::vector<std::string>& hitnames,
              const std::string& molFolder, const std::function<void(const std::string&)>& report,
              const std::string& query, const std::vector<std::string>* scores) {
  Molecule mol;
  int failed = 0;
  for (size_t i = 0; i < hitnames.size(); ++i) {
    const std::string& name = hitnames[i];
    HitExport hit;
    if (format == HitFormat::kNames) {
      hit.name = AnsiToUtf8(name);
    } else {
      hit = PrepareHitExport(mol, molFolder, name);
    }
    hit.query = query;
    if (scores && i < scores->size()) hit.score = (*scores)[i];
    if (!writer.Write(hit)) {
      ++failed;
      if (report) report(hit.name + ": " + (hit.error.empty() ? kNoFile : hit.error));
    }
  }
  return failed;
}

int SaveHits(const std::string& path, HitFormat format, const std::vector<std::string>& hitnames,
             const std::string& molFolder, const std::function<void(const std::string&)>& report,
             const std::vector<std::string>* scores) {
  std::ostringstream out;
  HitWriter writer(out, format, false, scores != nullptr);
  const int failed = WriteHits(writer, format, hitnames, molFolder, report, {}, scores);
  ReplaceFileAtomically(path, out.str());
  return failed;
}

}  // namespace vuduzez
