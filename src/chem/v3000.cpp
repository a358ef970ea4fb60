#include "chem/v3000.h"

#include <GraphMol/FileParsers/FileParsers.h>

#include <exception>

#include "chem/rdkit_mol.h"
#include "model/molreader.h"

int vuduzez_chem_v3000_anchor = 0;  // C linkage from the header

namespace vuduzez::chem {

namespace {

// RDKit's reasons on one line, as the system's messages are.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!out.empty() && out.back() != ' ') out += "; ";
    } else {
      out += c;
    }
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == ';')) out.pop_back();
  return out;
}

}  // namespace

bool ConvertV3000ToV2000(std::string_view v3000, std::string& v2000, std::string& why) {
  // Not sanitized: the bonds stay as drawn (RDKit would perceive aromatic
  // rings and write its own Kekule form), and valences RDKit would refuse
  // reach the system's own reader, which judges them.
  ParsedMol parsed = ParseMolBlock(v3000, /*sanitize=*/false);
  if (!parsed) {
    why = OneLine(parsed.error);
    return false;
  }
  RDKit::RWMol& mol = *parsed.mol;
  if (mol.getNumAtoms() > 999 || mol.getNumBonds() > 999) {
    why = "more than 999 atoms or bonds, which V2000 cannot hold";
    return false;
  }
  try {
    mol.updatePropertyCache(/*strict=*/false);
    v2000 = RDKit::MolToMolBlock(mol, /*includeStereo=*/true, /*confId=*/-1, /*kekulize=*/false,
                                 /*forceV3000=*/false);
  } catch (const std::exception& e) {
    why = OneLine(e.what());
    return false;
  }
  return true;
}

namespace {

[[maybe_unused]] const bool installed = [] {
  SetV3000Converter(&ConvertV3000ToV2000);
  return true;
}();

}  // namespace

}  // namespace vuduzez::chem
