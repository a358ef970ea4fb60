// Arbitrary bytes as a SMILES and as an SD file: a read is refused or gives a
// molecule that completes and keys; nothing crashes, reads out of bounds or
// runs without end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "model/sdfile.h"
#include "model/smiles.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vuduzez;
  static Molecule mol;
  SilentSink sink;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const SmilesResult r = ReadSmiles(mol, text);
  if (r.ok) {
    if (mol.atmcount < 1 || mol.atmcount > kMaxAtoms || mol.bndcount > kMaxBonds) __builtin_trap();
    CalcFormulaWeight(mol);
    MakeStructureKey(mol, sink);
  } else if (r.position < 1 || static_cast<size_t>(r.position) > size + 1 || mol.atmcount != 0) {
    __builtin_trap();
  }

  SdReader reader(SdBytes{text});
  SdRecord record;
  int64_t last = 0;
  while (reader.Next(record)) {
    if (record.number != last + 1) __builtin_trap();
    last = record.number;
    if (record.kind != SdRecordKind::kV2000) continue;
    try {
      if (ReadMolText(mol, record.molblock, sink)) CalcFormulaWeight(mol);
    } catch (const RuntimeError&) {
    }
  }
  return 0;
}
