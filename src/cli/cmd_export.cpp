// vuduzez-cli export [--format sdf|csv|json|names] [-o FILE]: every compound
// of the database, in database order, as the search writes its hits: each
// record's MOL file from the MOL folder with its name, formula and weight
// (a record without its MOL file with the database's, and no structure).
#include <iostream>
#include <streambuf>

#include "cli/cli.h"
#include "cli/workspace.h"
#include "database/database.h"
#include "database/mol_files.h"
#include "platform/files.h"
#include "platform/text.h"
#include "search/hit_export.h"

namespace vuduzez::cli {

namespace {

// An ostream's bytes into the new content of a file replacement.
class ReplacementBuf : public std::streambuf {
 public:
  explicit ReplacementBuf(ReplacementWriter& writer) : writer_(writer) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char ch = traits_type::to_char_type(c);
      writer_.Write(std::string_view(&ch, 1));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    writer_.Write(std::string_view(s, static_cast<size_t>(n)));
    return n;
  }

 private:
  ReplacementWriter& writer_;
};

int RunExport(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  std::string formatName = "sdf";
  std::string output = "-";
  if (!TakeOption(args, "--format", formatName) || !TakeOption(args, "-o", output) ||
      !TakeOption(args, "--output", output)) {
    return Usage("export");
  }
  const std::optional<HitFormat> format = ParseHitFormat(formatName);
  if (!format) {
    std::cerr << "vuduzez-cli export: unknown format " << formatName << '\n';
    return Usage("export");
  }
  auto ws = OpenWorkspace("export", args, {});
  if (!ws || !ws->args.empty()) return Usage("export");

  // The names as the search gives its hits (CompoundName).
  std::vector<std::string> names;
  ForEachNameLine(ws->settings.mdatafilename,
                  [&names](std::string_view line) { names.emplace_back(CompoundName(line)); });
  const auto report = [](const std::string& m) { std::cerr << m << '\n'; };
  const std::string& db = ws->settings.mdatafilename;
  HitCounts counts;
  if (output == "-") {
    counts = WriteHits(std::cout, *format, names, ws->settings.basedir1, db, report);
    std::cout.flush();
  } else {
    // Written as it is made and renamed over the file once whole: a failed
    // export leaves the old file as it was.
    ReplaceFileWith(output, [&](ReplacementWriter& writer) {
      ReplacementBuf buf(writer);
      std::ostream out(&buf);
      counts = WriteHits(out, *format, names, ws->settings.basedir1, db, report);
      out.flush();
    });
  }
  std::cerr << counts.written << " compounds written";
  if (counts.withoutStructure > 0 && *format != HitFormat::kNames) {
    std::cerr << ", " << counts.withoutStructure << " of them without a structure";
  }
  std::cerr << '\n';
  return counts.withoutStructure == 0 ? kExitOk : kExitFailed;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"export",
     "export [--db FILE] [--mol-dir DIR] [--format sdf|csv|json|names] [-o FILE]   every compound "
     "of the database",
     &RunExport,
     "Writes every compound in database order, as search writes its hits: SD (the\n"
     "default: each MOL file with the data items name, formula and weight, and the\n"
     "ones it keeps itself), CSV, JSON lines or names. A compound whose MOL file is\n"
     "missing is written with the database's formula and weight and no structure\n"
     "(SD: a data item error says why), reported on stderr; the exit status is then 1.\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"
     "  --format F            sdf (default), csv, json or names\n"
     "  -o FILE, --output FILE  write to FILE, replaced whole once complete (- is stdout)\n"});

}  // namespace

}  // namespace vuduzez::cli
