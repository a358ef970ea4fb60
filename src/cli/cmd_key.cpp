// vuduzez-cli key [--json] [--smiles] FILE|SMILES...: read, complete and key
// each MOL file (or SMILES).
#include <iostream>

#include "cli/cli.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "register/prepare.h"
#include "search/hit_export.h"

namespace vuduzez::cli {

namespace {

int RunKey(const std::vector<std::string>& args) {
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

  int status = kExitOk;
  Molecule mol;
  StderrSink err;
  for (const std::string& file : files) {
    // Messages as they arise, the file name in front.
    ForwardingSink sink(err, file + ": ");
    mol.molname.clear();
    mol.molformula.clear();
    mol.molweight.clear();
    mol.keydata.clear();
    PreparedStructure prepared;
    try {
      prepared = smiles ? PrepareSmiles(mol, file, sink) : PrepareMolFile(mol, file, sink);
    } catch (const RuntimeError& e) {
      prepared.reason = e.what();
      prepared.line = e.line();
      sink.ShowMessage(prepared.reason);
    }
    const bool ok = prepared.ready();
    if (!ok) status = kExitFailed;
    const std::string name = AnsiToUtf8(mol.molname);
    if (json) {
      std::cout << (smiles ? "{\"smiles\":" : "{\"file\":") << JsonText(file)
                << ",\"molname\":" << JsonText(name) << ",\"atoms\":" << (ok ? mol.atmcount : 0)
                << ",\"bonds\":" << (ok ? mol.bndcount : 0)
                << ",\"formula\":" << JsonText(mol.molformula)
                << ",\"weight\":" << JsonText(mol.molweight)
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

[[maybe_unused]] const bool registered =
    RegisterCommand({"key",
                     "key [--json] [--smiles] FILE|SMILES...   read, complete and key MOL files "
                     "(or SMILES)",
                     &RunKey});

}  // namespace

}  // namespace vuduzez::cli
