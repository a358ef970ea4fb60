// MOL V2000 reader and the completion of a structure with implicit hydrogens,
// formula and weight.
#pragma once

#include <string>
#include <string_view>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

// Reads a MOL V2000 file into the molecule, replacing it. Returns false when the
// file was refused (not V2000, counts beyond the capacities, a bond naming an
// atom that does not exist): the reason has been shown through sink and the
// caller must not go on with formula, key, drawing or screening. A file that
// cannot be opened or a field that is not a number raises RuntimeError.
bool ReadMolFile(Molecule& mol, const std::string& path, MessageSink& sink);

// The same on the bytes of a MOL file already in memory.
bool ReadMolText(Molecule& mol, std::string_view data, MessageSink& sink);

// Implicit hydrogens, molformula and molweight. Runs once after each read.
void CalcFormulaWeight(Molecule& mol);

// The weight text: the extended-precision sum taken to 18 significant digits,
// then rounded at the second decimal, halves up ("133.26" for C6H15NS).
std::string FormatWeight(long double weight);

}  // namespace vuduzez
