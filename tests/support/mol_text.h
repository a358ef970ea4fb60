// Small MOL V2000 files written in the tests: atoms by symbol (and charge
// code), bonds by their two atoms and bond type.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace vuduzez::testing {

struct TestBond {
  int atom1;
  int atom2;
  int type = 1;
};

// First header line "<name>.mol", counts line, atom lines of 69 columns with
// the symbol in columns 32-34 and the charge code in column 39, bond lines with
// the type in column 9. Lines end with eol.
inline std::string MolText(const std::string& name, const std::vector<std::string>& symbols,
                           const std::vector<TestBond>& bonds, const char* eol = "\r\n",
                           const std::vector<int>& charges = {}) {
  std::string t = name + ".mol" + eol + "  test" + eol + eol;
  char line[128];
  std::snprintf(line, sizeof line, "%3d%3d  0  0  0  0  0  0  0  0999 V2000",
                static_cast<int>(symbols.size()), static_cast<int>(bonds.size()));
  t += line;
  t += eol;
  for (size_t i = 0; i < symbols.size(); ++i) {
    const int charge = i < charges.size() ? charges[i] : 0;
    std::snprintf(line, sizeof line, "%10.4f%10.4f%10.4f %-3s 0%3d  0  0  0  0  0  0  0  0  0  0",
                  static_cast<double>(i), static_cast<double>(i % 3), 0.0, symbols[i].c_str(),
                  charge);
    t += line;
    t += eol;
  }
  for (const TestBond& b : bonds) {
    std::snprintf(line, sizeof line, "%3d%3d%3d  0  0  0  0", b.atom1, b.atom2, b.type);
    t += line;
    t += eol;
  }
  return t + "M  END" + eol;
}

// n atoms of one symbol.
inline std::vector<std::string> Atoms(int n, const std::string& symbol = "C") {
  return std::vector<std::string>(static_cast<size_t>(n), symbol);
}

}  // namespace vuduzez::testing
