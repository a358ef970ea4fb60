// MOL V2000 reader and the completion of a structure with implicit hydrogens,
// formula and weight.
#pragma once

#include <string>
#include <string_view>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// Why the reader refused a file.
enum class MolReadStatus { kOk, kNotV2000, kTooManyAtoms, kTooManyBonds, kBondAtomOutOfRange };

struct MolReadResult {
  MolReadStatus status = MolReadStatus::kOk;
  std::string message;  // the refusal as shown (UTF-8); empty when the file was read
  int line = 0;         // line of the file the reader stopped at (1-based); 0 when read
  bool ok() const { return status == MolReadStatus::kOk; }
  explicit operator bool() const { return ok(); }
};

// Reads a MOL V2000 file into the molecule, replacing it. A file refused (not
// V2000, counts beyond the capacities, a bond naming an atom that does not
// exist) gives a result that says why and where; the reason has been shown
// through sink and the caller must not go on with formula, key, drawing or
// screening. A file that cannot be opened raises RuntimeError; a field that is
// not a number raises RuntimeError carrying the line it stands on.
MolReadResult ReadMolFile(Molecule& mol, const std::string& path, MessageSink& sink);

// The same on the bytes of a MOL file already in memory.
MolReadResult ReadMolText(Molecule& mol, std::string_view data, MessageSink& sink);

// Implicit hydrogens, molformula and molweight. Runs once after each read.
void CalcFormulaWeight(Molecule& mol);

// The weight text: the extended-precision sum taken to 18 significant digits,
// then rounded at the second decimal, halves up ("133.26" for C6H15NS).
std::string FormatWeight(long double weight);

}  // namespace vuduzez
