// Arbitrary clipboard blocks through the conversion to a MOL file and the
// reader. Every read of the block must stay inside it; the result always ends
// in the "M  END" line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/mfconv.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "platform/message_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vuduzez::Molecule mol;
  vuduzez::SilentSink ui;
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  for (auto variant : {vuduzez::NameLine::kKeep, vuduzez::NameLine::kBlank}) {
    const std::string mol_text = vuduzez::ConvertMdlctBlock(block, variant);
    // Each block byte gives at most one output byte, plus the line ends.
    if (mol_text.size() < 14 || mol_text.size() > 2 * size + 14 ||
        mol_text.compare(mol_text.size() - 8, 8, "M  END\r\n") != 0) {
      std::abort();
    }
    try {
      vuduzez::ReadMolText(mol, mol_text, ui);
    } catch (const vuduzez::RuntimeError&) {
    }
  }
  return 0;
}
