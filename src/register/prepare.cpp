#include "register/prepare.h"

#include "key/structure_key.h"
#include "model/molreader.h"
#include "model/smiles.h"
#include "platform/files.h"

namespace vuduzez {

namespace {

// Everything after the read.
PreparedStructure Complete(Molecule& mol, const MolReadResult& read, MessageSink& sink,
                           const CompletedHook& completed) {
  PreparedStructure p;
  p.name = mol.molname;
  if (!read) {
    p.status = PrepareStatus::kRefused;
    p.reason = read.message;
    p.line = read.line;
    return p;
  }
  CalcFormulaWeight(mol);
  p.formula = mol.molformula;
  p.weight = mol.molweight;
  if (completed) completed();
  const KeyResult key = MakeStructureKey(mol, sink);
  if (!key) {
    // keydata still belongs to an earlier molecule: it is not this one's key.
    p.status = PrepareStatus::kKeyFailed;
    p.reason = key.message;
    return p;
  }
  p.status = PrepareStatus::kReady;
  p.key = mol.keydata;
  return p;
}

}  // namespace

PreparedStructure PrepareMolFile(Molecule& mol, const std::string& path, MessageSink& sink,
                                 const CompletedHook& completed) {
  mol.ResetTables();  // as ReadMolFile: a file that cannot be read leaves them reset
  return PrepareMolText(mol, ReadFileBytes(path), sink, completed);
}

PreparedStructure PrepareMolText(Molecule& mol, std::string_view text, MessageSink& sink,
                                 const CompletedHook& completed) {
  const MolReadResult read = ReadMolText(mol, text, sink);
  PreparedStructure p = Complete(mol, read, sink, completed);
  p.molText = text;
  return p;
}

PreparedStructure PrepareSmiles(Molecule& mol, std::string_view smiles, MessageSink& sink,
                                const CompletedHook& completed) {
  const SmilesResult read = ReadSmiles(mol, smiles);
  if (!read.ok) {
    sink.ShowMessage(read.message);
    PreparedStructure p;
    p.status = PrepareStatus::kRefused;
    p.reason = read.message;
    return p;
  }
  return Complete(mol, MolReadResult{}, sink, completed);
}

}  // namespace vuduzez
