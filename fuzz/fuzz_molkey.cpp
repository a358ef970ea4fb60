// Arbitrary bytes through the whole structure pipeline: read, complete, key.
// Refusals and run-time errors are expected outcomes; crashes, out-of-bounds
// accesses and runs that do not end are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/errors.h"

namespace {

// Counts messages without keeping them, so that a long run stays small.
class CountingSink : public vuduzez::MessageSink {
 public:
  void ShowMessage(const std::string&) override { ++messages; }
  long messages = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vuduzez::Molecule mol;  // reused, as the program reuses its one molecule
  CountingSink ui;
  std::string keyfail = "F";
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    if (!vuduzez::ReadMolText(mol, text, ui)) return 0;
  } catch (const vuduzez::RuntimeError&) {
    return 0;
  }
  vuduzez::CalcFormulaWeight(mol);
  const std::string before = mol.keydata;
  if (!vuduzez::MakeStructureKey(mol, keyfail, ui)) {
    if (keyfail != "T" || mol.keydata != before) __builtin_trap();
  }
  return 0;
}
