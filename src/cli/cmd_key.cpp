// vuduzez-cli key [--json] [--smiles] FILE|SMILES...: read, complete and key
// each MOL file (or SMILES); "-" is standard input (a MOL file, an SD file or
// SMILES lines).
#include <iostream>

#include "cli/cli.h"
#include "cli/queries.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "register/prepare.h"
#include "search/hit_export.h"

namespace vuduzez::cli {

namespace {

int RunKey(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  SplitAttachedValue(args, "--smiles");
  bool json = false;
  bool smiles = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a == "--smiles") {
      smiles = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::cerr << "vuduzez-cli key: unknown option " << a << '\n';
      return Usage("key");
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return Usage("key");

  // Each file as a MOL file, each SMILES as one; "-" as the queries of a search read it.
  std::vector<QueryText> inputs;
  for (const std::string& file : files) {
    if (file != "-") {
      inputs.push_back({file, file + ": ", smiles ? QueryForm::kSmiles : QueryForm::kMol, {}});
      continue;
    }
    QueryList fromStdin =
        ReadQueries({file}, smiles ? std::optional(QueryForm::kSmiles) : std::nullopt);
    for (const std::string& p : fromStdin.problems) std::cerr << p << '\n';
    for (QueryText& q : fromStdin.queries) inputs.push_back(std::move(q));
  }

  int status = kExitOk;
  Molecule mol;
  StderrSink err;
  for (const QueryText& input : inputs) {
    const bool asSmiles = input.form == QueryForm::kSmiles;
    // What the line names: the argument, or for standard input the SMILES or "-".
    const std::string file = input.text.empty() ? input.label : asSmiles ? input.text : "-";
    // Messages as they arise, the file name in front.
    ForwardingSink sink(err, input.where);
    mol.molname.clear();
    mol.molformula.clear();
    mol.molweight.clear();
    mol.keydata.clear();
    PreparedStructure prepared;
    try {
      if (input.text.empty()) {
        prepared = asSmiles ? PrepareSmiles(mol, file, sink) : PrepareMolFile(mol, file, sink);
      } else {
        prepared =
            asSmiles ? PrepareSmiles(mol, input.text, sink) : PrepareMolText(mol, input.text, sink);
      }
    } catch (const RuntimeError& e) {
      prepared.reason = e.what();
      prepared.line = e.line();
      sink.ShowMessage(prepared.reason);
    }
    const bool ok = prepared.ready();
    if (!ok) status = kExitFailed;
    const std::string name = AnsiToUtf8(mol.molname);
    if (json) {
      std::cout << (asSmiles ? "{\"smiles\":" : "{\"file\":") << JsonText(file)
                << ",\"molname\":" << JsonText(name) << ",\"atoms\":" << (ok ? mol.atmcount : 0)
                << ",\"bonds\":" << (ok ? mol.bndcount : 0)
                << ",\"formula\":" << JsonText(mol.molformula)
                << ",\"weight\":" << JsonNumber(mol.molweight)
                << ",\"key\":" << JsonText(ok ? AnsiToUtf8(mol.keydata) : "") << ",\"keyfail\":"
                << (prepared.status == PrepareStatus::kKeyFailed ? "true" : "false");
      if (prepared.hydrogensLeftOut > 0) {
        std::cout << ",\"hydrogensLeftOut\":" << prepared.hydrogensLeftOut;
      }
      if (!ok) std::cout << ",\"error\":" << JsonText(prepared.reason);
      if (prepared.line > 0) std::cout << ",\"line\":" << prepared.line;
      std::cout << "}\n";
    } else if (ok) {
      if (prepared.hydrogensLeftOut > 0) {
        sink.ShowMessage(KeyWithoutHydrogensNote(prepared.hydrogensLeftOut));
      }
      std::cout << file << '\t' << name << '\t' << mol.molformula << '\t' << mol.molweight << '\t'
                << AnsiToUtf8(mol.keydata) << '\n';
    }
  }
  return status;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"key",
     "key [--json] [--smiles] FILE|SMILES...   read, complete and key MOL files "
     "(or SMILES)",
     &RunKey,
     "Prints a line per structure: file, name, formula, weight, key (tab-separated).\n"
     "- reads standard input: a MOL file, an SD file (every record) or SMILES lines.\n\n"
     "  --json                one JSON object a line (numbers as JSON numbers)\n"
     "  --smiles SMILES...    SMILES instead of files\n"});

}  // namespace

}  // namespace vuduzez::cli
