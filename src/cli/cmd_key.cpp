// vuduzez-cli key [--json] FILE...: read, complete and key each MOL file.
#include <iostream>

#include "cli/cli.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/errors.h"

namespace vuduzez::cli {

namespace {

int RunKey(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::cerr << "vuduzez-cli key: unknown option " << a << '\n';
      return Usage("key");
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return Usage("key");

  int status = kExitOk;
  Molecule mol;
  StderrSink err;
  ForwardingSink ui(err);
  std::string last;
  ui.beforeText = [&last](const std::string& text) { last = text; };
  for (const std::string& file : files) {
    ui.prefix = file + ": ";
    last.clear();
    mol.molname.clear();
    mol.molformula.clear();
    mol.molweight.clear();
    mol.keydata.clear();
    std::string keyfail = "F";
    std::string error;
    bool ok = false;
    try {
      if (ReadMolFile(mol, file, ui)) {
        CalcFormulaWeight(mol);
        ok = MakeStructureKey(mol, keyfail, ui);
      }
      if (!ok) error = last;
    } catch (const RuntimeError& e) {
      error = e.what();
      std::cerr << ui.prefix << error << '\n';
    }
    if (!ok) status = kExitFailed;
    const std::string name = AnsiToUtf8(mol.molname);
    if (json) {
      std::cout << "{\"file\":" << JsonString(file) << ",\"molname\":" << JsonString(name)
                << ",\"formula\":" << JsonString(mol.molformula)
                << ",\"weight\":" << JsonString(mol.molweight)
                << ",\"key\":" << JsonString(ok ? AnsiToUtf8(mol.keydata) : "")
                << ",\"keyfail\":" << (keyfail == "T" ? "true" : "false");
      if (!ok) std::cout << ",\"error\":" << JsonString(error);
      std::cout << "}\n";
    } else if (ok) {
      std::cout << file << '\t' << name << '\t' << mol.molformula << '\t' << mol.molweight << '\t'
                << AnsiToUtf8(mol.keydata) << '\n';
    }
  }
  return status;
}

[[maybe_unused]] const bool registered =
    RegisterCommand({"key", "key [--json] FILE...   read, complete and key MOL files", &RunKey});

}  // namespace

}  // namespace vuduzez::cli
