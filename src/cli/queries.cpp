#include "cli/queries.h"

#include <unistd.h>

#include <cerrno>

#include "model/sdfile.h"
#include "platform/compress.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez::cli {

namespace {

enum class FileForm { kMol, kSd, kSmilesList, kByContent };

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

FileForm FormOfName(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return FileForm::kByContent;
  }
  const std::string ext = Lower(path.substr(dot + 1));
  if (ext == "mol") return FileForm::kMol;
  if (ext == "sdf" || ext == "sd") return FileForm::kSd;
  if (ext == "smi" || ext == "smiles") return FileForm::kSmilesList;
  return FileForm::kByContent;
}

FileForm FormOfContent(std::string_view text) {
  LineReader lines(text);
  int n = 0;
  bool counts = false;
  while (!lines.AtEnd()) {
    const std::string_view line = lines.Next();
    ++n;
    if (TrimView(line) == "$$$$") return FileForm::kSd;
    if (n == 4 && (line.find("V2000") != std::string_view::npos ||
                   line.find("V3000") != std::string_view::npos)) {
      counts = true;
    }
  }
  return counts ? FileForm::kMol : FileForm::kSmilesList;
}

// Labels are shown as UTF-8: bytes that are not are taken for CP932.
std::string ShownText(const std::string& bytes) {
  return IsValidUtf8(bytes) ? bytes : AnsiToUtf8(bytes);
}

class Reader {
 public:
  explicit Reader(QueryList& out) : out_(out) {}

  void File(const std::string& source) {
    const bool stdinSource = source == "-";
    std::string text = stdinSource ? Stdin() : ReadFileBytes(source);
    std::string named = source;
    if (LooksGzipped(text)) {
      // "query.mol.gz", "hits.sdf.gz": what they hold, named without ".gz".
      text = Gunzip(text, size_t{1} << 30, source);
      if (named.size() > 3 && Lower(named.substr(named.size() - 3)) == ".gz") {
        named.resize(named.size() - 3);
      }
    }
    FileForm form = stdinSource ? FileForm::kByContent : FormOfName(named);
    if (form == FileForm::kByContent) form = FormOfContent(text);
    switch (form) {
      case FileForm::kMol: {
        const std::string title = Trim(BeforeFirst(text, '\n'));
        out_.queries.push_back({stdinSource && !title.empty() ? ShownText(title) : source,
                                source + ": ", QueryForm::kMol, text});
        break;
      }
      case FileForm::kSd:
        Sd(source, text);
        break;
      case FileForm::kSmilesList:
      case FileForm::kByContent:
        Lines(source, text, QueryForm::kSmiles);
        break;
    }
  }

  void Given(const std::string& source, QueryForm form) {
    if (source == "-") {
      Lines(source, Stdin(), form);
      return;
    }
    out_.queries.push_back({ShownText(source), source + ": ", form, source});
  }

 private:
  std::string Stdin() {
    if (stdinRead_) return {};  // read once: a second "-" has nothing more
    stdinRead_ = true;
    std::string bytes;
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowFileError("-", kCannotReadFile);
      if (n == 0) return bytes;
      bytes.append(buf, static_cast<size_t>(n));
    }
  }

  void Sd(const std::string& source, const std::string& text) {
    out_.listed = true;
    SdReader reader(SdBytes{text});
    SdRecord record;
    while (reader.Next(record)) {
      const std::string where = source + ": record " + std::to_string(record.number) + ": ";
      if (record.kind != SdRecordKind::kV2000 && record.kind != SdRecordKind::kV3000) {
        out_.problems.push_back(source + ": " + SdRecordProblem(record));
        continue;
      }
      const std::string title = Trim(record.title);
      out_.queries.push_back(
          {title.empty() ? source + "#" + std::to_string(record.number) : ShownText(title), where,
           QueryForm::kMol, record.molblock});
    }
  }

  // One query a line; blank lines and lines starting with "#" are passed over.
  void Lines(const std::string& source, const std::string& text, QueryForm form) {
    out_.listed = true;
    LineReader lines(text);
    int n = 0;
    while (!lines.AtEnd()) {
      const std::string line = Trim(lines.Next());
      ++n;
      if (line.empty() || line[0] == '#') continue;
      const size_t blank = line.find_first_of(" \t");
      const std::string name = blank == std::string::npos ? "" : Trim(line.substr(blank));
      out_.queries.push_back({ShownText(name.empty() ? line.substr(0, blank) : name),
                              source + ": line " + std::to_string(n) + ": ", form, line});
    }
  }

  QueryList& out_;
  bool stdinRead_ = false;
};

}  // namespace

QueryList ReadQueries(const std::vector<std::string>& sources, std::optional<QueryForm> given) {
  QueryList list;
  Reader reader(list);
  for (const std::string& source : sources) {
    if (given) {
      reader.Given(source, *given);
    } else {
      reader.File(source);
    }
  }
  return list;
}

}  // namespace vuduzez::cli
