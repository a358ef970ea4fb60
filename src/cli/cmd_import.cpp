// vuduzez-cli import [--name-field FIELD] FILE.sdf: every record of an SD file
// becomes a MOL file in the MOL file folder and is registered. As with
// register, a line per record goes to stdout and the counts after them; errors
// and the final message go to stderr, with a progress line while stderr is a
// terminal. The exit status is 1 when a record was refused or not V2000.
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"
#include "cli/progress.h"
#include "cli/workspace.h"
#include "platform/messages.h"
#include "register/import.h"
#include "register/store.h"

namespace vuduzez::cli {

namespace {

// The progress line is drawn on stderr only when it is a terminal, and wiped
// before any other text goes there.
class ImportSink : public MessageSink {
 public:
  ImportSink() : terminal_(::isatty(STDERR_FILENO) == 1) {}
  ~ImportSink() override { Wipe(); }

  void ShowMessage(const std::string&) override {}  // the closing message: the counts say it
  void ShowError(const std::string& text) override { Line(text); }
  void Progress(int done, int total) override {
    share_ = total > 0 ? done * 100 / total : 0;
    Draw();
  }

  void Line(const std::string& text) {
    Wipe();
    std::cerr << text << '\n';
  }
  void Record() {
    if (++records_ % 1000 == 0) Draw();
  }

 private:
  void Draw() {
    if (!terminal_) return;
    std::cerr << "\rimport: " << records_ << " records, " << share_ << "% of the file"
              << std::flush;
    drawn_ = true;
  }
  void Wipe() {
    if (!drawn_) return;
    std::cerr << "\r\033[K" << std::flush;
    drawn_ = false;
  }

  bool terminal_;
  bool drawn_ = false;
  long long records_ = 0;
  int share_ = 0;
};

const char* OutcomeText(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::kRegistered:
      return "registered";
    case ImportOutcome::kAlreadyRegistered:
      return "already registered";
    case ImportOutcome::kRefused:
      return "refused";
    case ImportOutcome::kNotV2000:
      return "not V2000";
    case ImportOutcome::kSameStructure:
      return "same structure";
  }
  return "";
}

int RunImport(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  std::string nameField;
  if (!TakeOption(args, "--name-field", nameField)) return Usage("import");
  auto ws = OpenWorkspace("import", args, {"--skip-same-structure"});
  if (!ws || ws->args.size() != 1) return Usage("import");

  SoundState registered;
  ImportOptions options;
  options.skipSameStructure = !ws->flags.empty();
  if (PrepareRegistered(registered, *ws)) options.registered = &*registered.index;
  Molecule mol;
  ImportSink sink;
  const ImportSummary s = ImportSdFile(
      ws->args[0], ws->settings.mdatafilename, ws->settings.basedir1, nameField, mol, sink,
      [&sink](const ImportRecord& r) {
        sink.Record();
        // "record<TAB>outcome<TAB>MOL file name[<TAB>message]", like register's lines.
        std::cout << r.number << '\t' << OutcomeText(r.outcome) << '\t' << ShownName(r.fileName);
        if (!r.message.empty()) {
          std::cout << '\t' << r.message;
        } else if (!r.sameAs.empty()) {
          std::cout << '\t' << SameStructureAsMessage(r.sameAs);
        }
        std::cout << '\n';
      },
      options);
  std::cout << s.records << " records: " << s.registered << " registered, " << s.alreadyRegistered
            << " already registered, " << s.refused << " refused, " << s.notV2000 << " not V2000, "
            << s.sameStructure << " same structure" << (s.stopped ? " (stopped)" : "") << '\n';
  if (!s.finished) return kExitFailed;
  sink.Line(kImportFinished);
  return s.refused > 0 || s.notV2000 > 0 ? kExitFailed : kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"import",
     "import [--db FILE] [--mol-dir DIR] [--name-field FIELD] [--skip-same-structure] "
     "FILE.sdf   register every record of an SD file, each as a MOL file in the MOL folder",
     &RunImport,
     "FILE.sdf may be - for standard input. Each record becomes <name>.mol in the MOL\n"
     "folder (its data items kept after the structure) and is registered; a line per\n"
     "record goes to stdout, then the counts. A name registered with another structure\n"
     "is refused; a structure registered already names those compounds.\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"
     "  --name-field FIELD    the data item that names a record (else its title)\n"
     "  --skip-same-structure leave out the records whose structure is registered already\n"});

}  // namespace

}  // namespace vuduzez::cli
