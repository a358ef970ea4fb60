// Arbitrary bytes through the whole structure pipeline: read, complete, key.
// Refusals and run-time errors are expected outcomes; crashes, out-of-bounds
// accesses and runs that do not end are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/message_sink.h"
#include "register/prepare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vuduzez::Molecule mol;  // reused, as the program reuses its one molecule
  vuduzez::SilentSink ui;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string before = mol.keydata;
  vuduzez::PreparedStructure p;
  try {
    p = vuduzez::PrepareMolText(mol, text, ui);
  } catch (const vuduzez::RuntimeError& e) {
    if (e.line() < 1) __builtin_trap();  // a reader error names its line
    return 0;
  }
  switch (p.status) {
    case vuduzez::PrepareStatus::kReady:
      if (p.key != mol.keydata) __builtin_trap();
      break;
    case vuduzez::PrepareStatus::kKeyFailed:
      // A failed key leaves the earlier one in place and says why.
      if (mol.keydata != before || p.reason.empty() || *p.keyfail() != 'T') __builtin_trap();
      break;
    case vuduzez::PrepareStatus::kRefused:
      if (p.line < 1 || p.reason.empty()) __builtin_trap();
      break;
    case vuduzez::PrepareStatus::kNone:
      __builtin_trap();
  }
  return 0;
}
