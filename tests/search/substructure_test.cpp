// Atom-by-atom matching: random small molecules against a brute-force
// reference that tries every injective map, and the worked cases.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "key/structure_key.h"
#include "model/molreader.h"
#include "search/exact_search.h"
#include "search/substructure.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TestBond;

// Read, complete and key: bonds carry their marked symbols.
Molecule Keyed(const std::vector<std::string>& atoms, const std::vector<TestBond>& bonds,
               const std::vector<int>& charges = {}) {
  Molecule mol;
  RecordingSink ui;
  EXPECT_TRUE(ReadMolText(mol, MolText("m", atoms, bonds, "\r\n", charges), ui));
  CalcFormulaWeight(mol);
  EXPECT_TRUE(MakeStructureKey(mol, ui));
  return mol;
}

// Every injective map of the query atoms into the record atoms, checked
// against the rules as written.
bool BruteForce(const Molecule& q, const Molecule& r) {
  std::vector<int> image(static_cast<size_t>(q.atmcount) + 1, 0);
  std::vector<bool> used(static_cast<size_t>(r.atmcount) + 1, false);
  std::function<bool(int)> place = [&](int a) {
    if (a > q.atmcount) {
      for (int j = 1; j <= q.bndcount; ++j) {
        const BondRow& b = q.bnddata[j];
        bool found = false;
        for (int k = 1; k <= r.bndcount && !found; ++k) {
          const BondRow& c = r.bnddata[k];
          const int x = image[b.atom1], y = image[b.atom2];
          found = c.bsym == b.bsym &&
                  ((c.atom1 == x && c.atom2 == y) || (c.atom1 == y && c.atom2 == x));
        }
        if (!found) return false;
      }
      return true;
    }
    for (int t = 1; t <= r.atmcount; ++t) {
      if (used[t] || q.atmdata[a].symbol != r.atmdata[t].symbol) continue;
      if (q.posdata[a].charge != 0 && q.posdata[a].charge != r.posdata[t].charge) continue;
      used[t] = true;
      image[a] = t;
      if (place(a + 1)) return true;
      used[t] = false;
    }
    return false;
  };
  return place(1);
}

bool Match(const Molecule& q, const Molecule& r, SubstructureMapping* m = nullptr) {
  const SubstructureQuery query = MakeSubstructureQuery(q);
  const std::string table = BuildConnectionTable(r);
  CtView view;
  EXPECT_TRUE(view.Parse(table));
  return query.Matches(view, m);
}

// The mapping obeys the rules: distinct atoms of equal symbol and fitting
// charge, each query bond onto a record bond of its symbol between the images.
void ExpectValidMapping(const Molecule& q, const Molecule& r, const SubstructureMapping& m) {
  ASSERT_EQ(m.atoms.size(), static_cast<size_t>(q.atmcount));
  ASSERT_EQ(m.bonds.size(), static_cast<size_t>(q.bndcount));
  std::vector<int> seen;
  for (int a = 1; a <= q.atmcount; ++a) {
    const int t = m.atoms[static_cast<size_t>(a - 1)];
    ASSERT_GE(t, 1);
    ASSERT_LE(t, r.atmcount);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), t), 0);
    seen.push_back(t);
    EXPECT_EQ(q.atmdata[a].symbol, r.atmdata[t].symbol);
    if (q.posdata[a].charge != 0) {
      EXPECT_EQ(q.posdata[a].charge, r.posdata[t].charge);
    }
  }
  for (int j = 1; j <= q.bndcount; ++j) {
    const int k = m.bonds[static_cast<size_t>(j - 1)];
    ASSERT_GE(k, 1);
    const BondRow& b = q.bnddata[j];
    const BondRow& c = r.bnddata[k];
    EXPECT_EQ(b.bsym, c.bsym);
    const int x = m.atoms[static_cast<size_t>(b.atom1 - 1)];
    const int y = m.atoms[static_cast<size_t>(b.atom2 - 1)];
    EXPECT_TRUE((c.atom1 == x && c.atom2 == y) || (c.atom1 == y && c.atom2 == x));
  }
}

struct Random {
  std::mt19937 rng{20240611};
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  // A small molecule: a tree, sometimes a few more bonds and a six-ring with
  // alternating bonds (which key generation marks aromatic), sometimes in
  // two pieces.
  void Make(int n, std::vector<std::string>& atoms, std::vector<TestBond>& bonds,
            std::vector<int>& charges) {
    static const char* symbols[] = {"C", "C", "C", "C", "N", "O", "H", "Cl"};
    atoms.clear();
    bonds.clear();
    charges.clear();
    for (int i = 0; i < n; ++i) {
      atoms.push_back(symbols[Below(8)]);
      charges.push_back(Below(6) == 0 ? 3 : 0);
    }
    int start = 1;
    if (n >= 6 && Below(3) == 0) {
      for (int i = 0; i < 6; ++i) {
        atoms[static_cast<size_t>(i)] = "C";
        bonds.push_back({i + 1, (i + 1) % 6 + 1, i % 2 == 0 ? 2 : 1});
      }
      start = 6;
    }
    const bool split = Below(5) == 0;
    for (int i = start + 1; i <= n; ++i) {
      if (split && i == n) break;
      bonds.push_back({1 + Below(i - 1), i, 1 + (Below(4) == 0 ? Below(3) : 0)});
    }
    for (int extra = Below(3); extra > 0; --extra) {
      const int a = 1 + Below(n), b = 1 + Below(n);
      if (a != b) bonds.push_back({a, b, 1 + Below(2)});
    }
  }
};

TEST(Substructure, AgreesWithEveryInjectiveMapOnRandomMolecules) {
  Random rnd;
  int matches = 0, total = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<std::string> ra, qa;
    std::vector<TestBond> rb, qb;
    std::vector<int> rc, qc;
    rnd.Make(3 + rnd.Below(6), ra, rb, rc);
    const Molecule r = Keyed(ra, rb, rc);
    if (rnd.Below(2) == 0) {
      // A piece of the record itself (most of these match), charges cleared or kept.
      const int n = 1 + rnd.Below(std::min<int>(static_cast<int>(ra.size()), 8));
      qa.assign(ra.begin(), ra.begin() + n);
      for (int i = 0; i < n; ++i) qc.push_back(rnd.Below(2) == 0 ? rc[static_cast<size_t>(i)] : 0);
      for (const TestBond& b : rb) {
        if (b.atom1 <= n && b.atom2 <= n && rnd.Below(4) != 0) qb.push_back(b);
      }
    } else {
      rnd.Make(1 + rnd.Below(5), qa, qb, qc);
    }
    const Molecule q = Keyed(qa, qb, qc);
    SubstructureMapping m;
    const bool expected = BruteForce(q, r);
    ASSERT_EQ(Match(q, r, &m), expected) << "round " << round;
    if (expected) ExpectValidMapping(q, r, m);
    matches += expected ? 1 : 0;
    ++total;
  }
  // Both outcomes are well represented.
  EXPECT_GT(matches, total / 5);
  EXPECT_LT(matches, total * 4 / 5);
}

// Queries of several copies of one small piece (and sometimes one other):
// matched piece by piece, identical pieces and alike end atoms in increasing
// order, they still find exactly the records every injective map finds.
TEST(Substructure, RepeatedPiecesAgreeWithEveryInjectiveMap) {
  Random rnd;
  int matches = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> ra, pa, qa;
    std::vector<TestBond> rb, pb, qb;
    std::vector<int> rc, pc, qc;
    rnd.Make(5 + rnd.Below(5), ra, rb, rc);
    rnd.Make(1 + rnd.Below(3), pa, pb, pc);
    const int copies = 2 + rnd.Below(2);
    for (int c = 0; c < copies + (rnd.Below(3) == 0 ? 1 : 0); ++c) {
      if (c == copies) rnd.Make(1 + rnd.Below(2), pa, pb, pc);  // one other piece
      const int base = static_cast<int>(qa.size());
      qa.insert(qa.end(), pa.begin(), pa.end());
      qc.insert(qc.end(), pa.size(), 0);
      for (const TestBond& b : pb) qb.push_back({b.atom1 + base, b.atom2 + base, b.type});
    }
    const Molecule r = Keyed(ra, rb, rc), q = Keyed(qa, qb, qc);
    SubstructureMapping m;
    const bool expected = BruteForce(q, r);
    ASSERT_EQ(Match(q, r, &m), expected) << "round " << round;
    if (expected) ExpectValidMapping(q, r, m);
    matches += expected ? 1 : 0;
  }
  EXPECT_GT(matches, 40);
  EXPECT_LT(matches, 360);
}

TEST(Substructure, EightAtomQueriesIntoEightAtomRecords) {
  Random rnd;
  for (int round = 0; round < 60; ++round) {
    std::vector<std::string> ra, qa;
    std::vector<TestBond> rb, qb;
    std::vector<int> rc, qc;
    rnd.Make(8, ra, rb, rc);
    rnd.Make(8, qa, qb, qc);
    if (round % 2 == 0) qa = ra;  // same atoms, other bonds: only the bonds decide
    const Molecule r = Keyed(ra, rb, rc), q = Keyed(qa, qb, std::vector<int>(8, 0));
    EXPECT_EQ(Match(q, r), BruteForce(q, r)) << "round " << round;
  }
}

TEST(Substructure, KetoneAgainstEsterAcidAndAmide) {
  // C-C(=O)-C
  const Molecule ketone = Keyed({"C", "C", "O", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}});
  const Molecule acetone = Keyed({"C", "C", "O", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}});
  const Molecule butanone = Keyed({"C", "C", "O", "C", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}, {4, 5}});
  const Molecule ester =  // ethyl acetate
      Keyed({"C", "C", "O", "O", "C", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}, {4, 5}, {5, 6}});
  const Molecule acid = Keyed({"C", "C", "O", "O", "C"}, {{5, 1}, {1, 2}, {2, 3, 2}, {2, 4}});
  const Molecule amide = Keyed({"C", "C", "O", "N", "C"}, {{5, 1}, {1, 2}, {2, 3, 2}, {2, 4}});
  EXPECT_TRUE(Match(ketone, acetone));
  EXPECT_TRUE(Match(ketone, butanone));
  EXPECT_FALSE(Match(ketone, ester));
  EXPECT_FALSE(Match(ketone, acid));
  EXPECT_FALSE(Match(ketone, amide));
}

TEST(Substructure, DisconnectedQueriesAndQueriesWithoutBonds) {
  const Molecule methanol = Keyed({"C", "O"}, {{1, 2}});
  const Molecule glycol = Keyed({"O", "C", "C", "O"}, {{1, 2}, {2, 3}, {3, 4}});
  const Molecule co = Keyed({"C", "O"}, {});
  const Molecule oo = Keyed({"O", "O"}, {});
  const Molecule n = Keyed({"N"}, {});
  EXPECT_TRUE(Match(co, methanol));
  EXPECT_FALSE(Match(oo, methanol));  // two query atoms need two record atoms
  EXPECT_TRUE(Match(oo, glycol));
  EXPECT_FALSE(Match(n, glycol));
  // Two pieces: C-O and O, against glycol (yes) and methanol (no third atom).
  const Molecule pieces = Keyed({"C", "O", "O"}, {{1, 2}});
  EXPECT_TRUE(Match(pieces, glycol));
  EXPECT_FALSE(Match(pieces, methanol));
  SubstructureMapping m;
  ASSERT_TRUE(Match(pieces, glycol, &m));
  ExpectValidMapping(pieces, glycol, m);
}

TEST(Substructure, ChargeCodeZeroTakesAnyCharge) {
  const Molecule ammonium = Keyed({"C", "N"}, {{1, 2}}, {0, 3});
  const Molecule amine = Keyed({"C", "N"}, {{1, 2}});
  const Molecule charged = Keyed({"N"}, {}, {3});
  const Molecule anion = Keyed({"N"}, {}, {5});
  const Molecule plain = Keyed({"N"}, {});
  EXPECT_TRUE(Match(plain, ammonium));
  EXPECT_TRUE(Match(plain, amine));
  EXPECT_TRUE(Match(charged, ammonium));
  EXPECT_FALSE(Match(charged, amine));
  EXPECT_FALSE(Match(anion, ammonium));
}

TEST(Substructure, AromaticRingMatchesWhicheverWayTheRecordIsDrawn) {
  // Benzene as a query, and toluene drawn with the other alternation.
  const Molecule benzene =
      Keyed(testing::Atoms(6), {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}});
  const Molecule toluene =
      Keyed(testing::Atoms(7), {{1, 2}, {2, 3, 2}, {3, 4}, {4, 5, 2}, {5, 6}, {6, 1, 2}, {1, 7}});
  EXPECT_TRUE(Match(benzene, toluene));
  // A plain double bond is not a ring bond marked aromatic.
  const Molecule ethene = Keyed({"C", "C"}, {{1, 2, 2}});
  EXPECT_FALSE(Match(ethene, toluene));
  // Cyclohexene's ring is not aromatic.
  const Molecule cyclohexene =
      Keyed(testing::Atoms(6), {{1, 2, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 1}});
  EXPECT_FALSE(Match(benzene, cyclohexene));
  EXPECT_TRUE(Match(ethene, cyclohexene));
}

TEST(Substructure, ExplicitHydrogensAreAtoms) {
  const Molecule ch = Keyed({"C", "H"}, {{1, 2}});
  const Molecule methaneDrawn = Keyed({"C", "H", "H"}, {{1, 2}, {1, 3}});
  const Molecule methane = Keyed({"C"}, {});
  EXPECT_TRUE(Match(ch, methaneDrawn));
  EXPECT_FALSE(Match(ch, methane));  // implicit hydrogens are not atoms
}

}  // namespace
}  // namespace vuduzez
