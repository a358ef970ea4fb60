// Key generation done the slow, literal way: path texts as strings, the ring
// test as a text search for the atom tag, ring bonds read from the characters
// of the ring part, rendering by splitting at "-", and selection by comparing
// every pair of codes. The engine must give the same tables and key.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "key/structure_key.h"
#include "model/molecule.h"
#include "platform/errors.h"

namespace vuduzez::testing {

struct ReferenceRun {
  bool ok = true;
  std::vector<std::string> paths;
  std::vector<std::string> codes;
  std::vector<int> dropped;
  std::string key;
};

inline std::vector<std::string> SplitDash(const std::string& text) {
  std::vector<std::string> parts;
  size_t b = 0;
  for (size_t p = text.find('-'); p != std::string::npos; p = text.find('-', b)) {
    parts.push_back(text.substr(b, p - b));
    b = p + 1;
  }
  parts.push_back(text.substr(b));
  return parts;
}

inline ReferenceRun ReferenceKey(Molecule& mol, MessageSink& ui) {
  ReferenceRun run;
  struct Walk {
    int atom, bond;
    std::string path;
  };
  auto next_bond = [&](int start, int x, int excluded) -> std::pair<int, int> {
    for (int b = start; b <= mol.bndcount; ++b) {
      const BondRow& r = mol.bnddata[static_cast<size_t>(b)];
      if (b == excluded) continue;
      if (r.atom1 == x) return {r.atom2, b};
      if (r.atom2 == x) return {r.atom1, b};
    }
    return {0, 0};
  };
  auto store = [&](const std::string& text) {
    if (run.paths.size() + 1 >= static_cast<size_t>(kMaxPathTexts)) return false;
    run.paths.push_back(text);
    return true;
  };
  for (int s = 1; s <= mol.atmcount; ++s) {
    std::vector<Walk> stack;
    if (mol.atmdata[static_cast<size_t>(s)].degree == 0) continue;
    auto pop = [&](Walk& current) {
      if (stack.empty()) return false;
      current = stack.back();
      stack.pop_back();
      return true;
    };
    auto [u1, c1] = next_bond(1, s, 0);
    Walk current{u1, c1, AtomTag(s) + "-" + BondTag(c1) + "-" + AtomTag(u1)};
    bool has = true;
    for (auto [u, c] = next_bond(c1 + 1, s, 0); u != 0; std::tie(u, c) = next_bond(c + 1, s, 0)) {
      stack.push_back({u, c, AtomTag(s) + "-" + BondTag(c) + "-" + AtomTag(u)});
    }
    while (has) {
      const Walk w = current;
      auto [u, c] = next_bond(1, w.atom, w.bond);
      if (u == 0) {
        if (!store(w.path)) return run.ok = false, run;
        has = pop(current);
        continue;
      }
      for (bool first = true; u != 0; std::tie(u, c) = next_bond(c + 1, w.atom, w.bond)) {
        const std::string next = w.path + "-" + BondTag(c) + "-" + AtomTag(u);
        if (w.path.find(AtomTag(u)) != std::string::npos) {
          const int r = RingSize("-", next, ui);
          if (!store(w.path + "-" + BondTag(c) + "-" + std::to_string(r)))
            return run.ok = false, run;
          if (first) has = pop(current);
        } else if (first || !has) {
          current = {u, c, next};
          has = true;
        } else {
          stack.push_back({u, c, next});
        }
        first = false;
      }
    }
  }

  for (const std::string& p : run.paths) {
    std::string part;
    if (p.size() >= 61 && p.compare(p.size() - 2, 2, "-6") == 0) {
      part = p.substr(p.size() - 2 - 59, 59);
    } else if (p.size() >= 102 && p.compare(p.size() - 3, 3, "-10") == 0) {
      part = p.substr(p.size() - 3 - 99, 99);
    } else {
      continue;
    }
    std::vector<int> bonds;
    for (const std::string& t : SplitDash(part)) {
      if (t[0] == 'b') bonds.push_back(StrToInt(t.substr(1)));
    }
    int doubles = 0, aromatic = 0;
    for (int b : bonds) {
      doubles += mol.bnddata[static_cast<size_t>(b)].order == 2;
      aromatic += mol.bnddata[static_cast<size_t>(b)].order == 4;
    }
    const bool mark = bonds.size() == 6 ? aromatic == 0 && doubles == 3 : doubles + aromatic > 4;
    for (int b : bonds) {
      if (!mark) break;
      mol.bnddata[static_cast<size_t>(b)].order = 4;
      mol.bnddata[static_cast<size_t>(b)].bsym = "@";
    }
  }

  for (const std::string& p : run.paths) {
    std::string code;
    for (const std::string& t : SplitDash(p)) {
      if (t.size() == 4 && t[0] == 'a') {
        code += mol.atmdata[static_cast<size_t>(StrToInt(t.substr(1)))].symbol;
      } else if (t.size() == 4 && t[0] == 'b') {
        code += mol.bnddata[static_cast<size_t>(StrToInt(t.substr(1)))].bsym;
      } else {
        code += t;
      }
    }
    run.codes.push_back(code);
  }

  const size_t n = run.codes.size();
  run.dropped.assign(n, 0);
  for (size_t i = 0; i < n; ++i) {
    if (run.dropped[i]) continue;
    for (size_t j = 0; j < n; ++j) {
      if (j == i || run.dropped[j]) continue;
      const std::string& a = run.codes[i];
      const std::string& b = run.codes[j];
      if (a == b) {
        run.dropped[j] = 1;
      } else if (a.size() < b.size() && b.find(a) != std::string::npos) {
        run.dropped[i] = 1;
      } else if (b.size() < a.size() && a.find(b) != std::string::npos) {
        run.dropped[j] = 1;
      }
    }
  }
  bool first = true;
  for (size_t i = 0; i < n; ++i) {
    if (run.dropped[i]) continue;
    if (!first) run.key += "/";
    run.key += run.codes[i];
    first = false;
  }
  return run;
}

}  // namespace vuduzez::testing
