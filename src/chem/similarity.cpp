#include "chem/similarity.h"

// RDKit's build options first: they change the layout of its classes.
#include <RDGeneral/RDConfig.h>

#include <DataStructs/ExplicitBitVect.h>
#include <GraphMol/Fingerprints/MorganFingerprints.h>

#include <memory>

#include "chem/rdkit_mol.h"

namespace vuduzez::chem {

int CommonBits(const SimilarityPrint& a, const SimilarityPrint& b) {
  int common = 0;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++common;
      ++i;
      ++j;
    }
  }
  return common;
}

SimilarityPrint MorganPrint(const RDKit::ROMol& mol) {
  const std::unique_ptr<ExplicitBitVect> bits(
      RDKit::MorganFingerprints::getFingerprintAsBitVect(mol, kSimilarityRadius, kSimilarityBits));
  IntVect on;
  bits->getOnBits(on);  // ascending
  return SimilarityPrint(on.begin(), on.end());
}

SimilarityQuery SimilarityQueryOf(QueryForm form, std::string_view text) {
  SimilarityQuery out;
  if (form == QueryForm::kSmarts) {
    out.error = "a SMARTS pattern is no structure to compare";
    return out;
  }
  ParsedMol parsed;
  if (form == QueryForm::kMolText) {
    std::string block;
    if (!MolBlockOf(text, block, out.error)) return out;
    parsed = ParseMolBlock(block, /*sanitize=*/true, /*removeHs=*/true);
  } else {
    parsed = ParseSmiles(text.substr(0, text.find_first_of(" \t")));
  }
  if (!parsed) {
    out.error = parsed.error;
    return out;
  }
  try {
    out.print = MorganPrint(*parsed.mol);
    out.ok = true;
  } catch (const std::exception& e) {
    out.error = e.what();
  }
  return out;
}

}  // namespace vuduzez::chem
