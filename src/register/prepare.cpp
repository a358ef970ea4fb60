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
  p.queryFeature = mol.queryfeature;
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
  p.hydrogensLeftOut = key.hydrogensLeftOut;
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
  // Read as the reader reads it, so that a compressed or V3000 file is kept
  // as the V2000 text that was read.
  MolTextResult v2000 = MolTextAsV2000(text);
  if (!v2000.ok) {
    mol.ResetTables();
    sink.ShowMessage(v2000.message);
    return Complete(mol, MolReadResult{v2000.status, v2000.message, 4}, sink, completed);
  }
  const MolReadResult read = ReadMolText(mol, v2000.text, sink);
  PreparedStructure p = Complete(mol, read, sink, completed);
  p.molText = std::move(v2000.text);
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
