#include "chem/rdkit_mol.h"

#include <GraphMol/FileParsers/FileParsers.h>
#include <GraphMol/SmilesParse/SmilesParse.h>
#include <RDGeneral/Invariant.h>
#include <RDGeneral/RDLog.h>

#include <exception>
#include <mutex>

#include "platform/compress.h"
#include "platform/errors.h"

namespace vuduzez::chem {

void QuietRdkit() {
  static std::once_flag once;
  std::call_once(once, [] { boost::logging::disable_logs("rdApp.*"); });
}

namespace {

// RDKit reports a refused input by exception (or, for SMILES and SMARTS, by a
// null result); both become a ParsedMol without a molecule.
template <typename Parse>
ParsedMol Guarded(Parse parse) {
  QuietRdkit();
  ParsedMol out;
  try {
    out.mol.reset(parse());
    if (!out.mol) out.error = "not readable";
  } catch (const Invar::Invariant& e) {
    out.error = e.toUserString();
  } catch (const std::exception& e) {
    out.error = e.what();
  }
  return out;
}

}  // namespace

ParsedMol ParseMolBlock(std::string_view molText, bool sanitize, bool removeHs) {
  return Guarded([&] { return RDKit::MolBlockToMol(std::string(molText), sanitize, removeHs); });
}

bool MolBlockOf(std::string_view bytes, std::string& block, std::string& why) {
  if (!LooksGzipped(bytes)) {
    block.assign(bytes);
    return true;
  }
  try {
    block = Gunzip(bytes, size_t{64} << 20, "MOL");
    return true;
  } catch (const RuntimeError& e) {
    why = e.what();
    return false;
  }
}

ParsedMol ParseSmiles(std::string_view smiles, bool sanitize) {
  return Guarded([&] {
    RDKit::SmilesParserParams params;
    params.sanitize = sanitize;
    return RDKit::SmilesToMol(std::string(smiles), params);
  });
}

ParsedMol ParseSmarts(std::string_view smarts) {
  return Guarded([&] { return RDKit::SmartsToMol(std::string(smarts)); });
}

}  // namespace vuduzez::chem
