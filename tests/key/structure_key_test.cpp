#include "key/structure_key.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "key/reference_key.h"
#include "model/molreader.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"

namespace vuduzez {
namespace {

using testing::Atoms;
using testing::MolText;
using testing::TestBond;

Molecule Read(const std::string& text) {
  Molecule mol;
  RecordingSink ui;
  EXPECT_TRUE(ReadMolText(mol, text, ui));
  CalcFormulaWeight(mol);
  return mol;
}

std::string KeyOf(const std::vector<std::string>& symbols, const std::vector<TestBond>& bonds) {
  Molecule mol = Read(MolText("m", symbols, bonds));
  RecordingSink ui;
  const KeyResult result = MakeStructureKey(mol, ui);
  EXPECT_TRUE(result);
  EXPECT_EQ(std::string(result.keyfail()), "F");
  EXPECT_TRUE(ui.messages.empty());
  return mol.keydata;
}

// Texts of the rows whose path text starts at the given atom, in row order.
std::vector<std::string> TextsFrom(const KeyWorkspace& ws, int atom) {
  std::vector<std::string> texts;
  for (int i = 1; i <= ws.pathcount; ++i) {
    if (ws.PathText(i).rfind(AtomTag(atom) + "-", 0) == 0) texts.push_back(ws.PathText(i));
  }
  return texts;
}

const std::vector<TestBond> kBenzene = {{1, 2, 2}, {2, 3, 1}, {3, 4, 2},
                                        {4, 5, 1}, {5, 6, 2}, {6, 1, 1}};
const std::vector<TestBond> kNaphthalene = {{1, 2, 2},  {2, 3, 1}, {3, 4, 2},  {4, 10, 1},
                                            {10, 9, 2}, {9, 1, 1}, {10, 5, 1}, {5, 6, 2},
                                            {6, 7, 1},  {7, 8, 2}, {8, 9, 1}};

TEST(Tags, ThreeDigitsOrEmpty) {
  EXPECT_EQ(AtomTag(7), "a007");
  EXPECT_EQ(AtomTag(45), "a045");
  EXPECT_EQ(AtomTag(200), "a200");
  EXPECT_EQ(BondTag(300), "b300");
  EXPECT_EQ(BondTag(1), "b001");
  EXPECT_EQ(AtomTag(1000), "");
}

TEST(RingSize, CountsFromFirstOccurrenceOfLastAtom) {
  RecordingSink ui;
  EXPECT_EQ(RingSize("-", "a001-b001-a002-b002-a003-b003-a001", ui), 3);
  EXPECT_EQ(
      RingSize("-", "a007-b007-a001-b001-a002-b002-a003-b003-a004-b004-a005-b005-a006-b006-a001",
               ui),
      6);
  EXPECT_EQ(RingSize("-", "a001-b001-a002", ui), 2);
  EXPECT_TRUE(ui.messages.empty());

  // More than a hundred atoms: the whole list is kept.
  std::string chain = AtomTag(1);
  for (int i = 2; i <= 150; ++i)
    chain.append("-").append(BondTag(i - 1)).append("-").append(AtomTag(i));
  std::string closed = chain;
  closed.append("-b199-").append(AtomTag(2));
  EXPECT_EQ(RingSize("-", closed, ui), 149);
  EXPECT_EQ(RingSize("-", chain, ui), 150);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(RingSize, ReportsEmptyAndMalformedInput) {
  RecordingSink ui;
  EXPECT_EQ(RingSize("-", "", ui), 0);
  EXPECT_EQ(RingSize("", "a001", ui), 0);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{kNoDataMessage, kNoDataMessage}));
  ui.messages.clear();
  EXPECT_EQ(RingSize("-", "a001-b01-a002", ui), 2);
  EXPECT_EQ(ui.messages, std::vector<std::string>{kBadDataMessage});
}

TEST(StructureKey, WorkedExamples) {
  EXPECT_EQ(KeyOf({"C", "C", "O"}, {{1, 2}, {2, 3}}), "C-C-O/O-C-C");
  EXPECT_EQ(KeyOf({"C", "C", "O", "O"}, {{1, 2}, {2, 3, 2}, {2, 4}}),
            "C-C=O/C-C-O/O=C-C/O=C-O/O-C-C/O-C=O");
  EXPECT_EQ(KeyOf(Atoms(3), {{1, 2}, {2, 3}, {3, 1}}), "C-C-C-3");
  EXPECT_EQ(KeyOf(Atoms(6), {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 1}}), "C-C-C-C-C-C-6");
  EXPECT_EQ(KeyOf(Atoms(6), kBenzene), "C@C@C@C@C@C@6");
  // A file's aromatic bonds are given a Kekule form by the reader; left
  // aromatic in the tables they have no bond character and stop the marking.
  EXPECT_EQ(KeyOf(Atoms(6), {{1, 2, 4}, {2, 3, 4}, {3, 4, 4}, {4, 5, 4}, {5, 6, 4}, {6, 1, 4}}),
            "C@C@C@C@C@C@6");
  Molecule tables = Read(MolText("b", Atoms(6), kBenzene));
  for (int j = 1; j <= 6; ++j) {
    tables.bnddata[static_cast<size_t>(j)].order = 4;
    tables.bnddata[static_cast<size_t>(j)].bsym.clear();
  }
  RecordingSink quiet;
  ASSERT_TRUE(MakeStructureKey(tables, quiet));
  EXPECT_EQ(tables.keydata, "CCCCCC6");
  std::vector<TestBond> phenol = kBenzene;
  phenol.push_back({1, 7});
  EXPECT_EQ(KeyOf({"C", "C", "C", "C", "C", "C", "O"}, phenol), "C@C@C@C@C@C-O/O-C@C@C@C@C@C@6");
  EXPECT_EQ(KeyOf(Atoms(10), kNaphthalene), "C@C@C@C@C@C@C@C@C@C@6/C@C@C@C@C@C@C@C@C@C@10");
  EXPECT_EQ(KeyOf({"C"}, {}), "");
  EXPECT_EQ(KeyOf({"C", "O"}, {{1, 2}}), "C-O/O-C");
}

TEST(StructureKey, EthanolTables) {
  Molecule mol = Read(MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}));
  RecordingSink ui;
  KeyWorkspace ws;
  ASSERT_TRUE(MakeStructureKey(mol, ui, ws));
  ASSERT_EQ(ws.pathcount, 4);
  const char* texts[] = {"a001-b001-a002-b002-a003", "a002-b001-a001", "a002-b002-a003",
                         "a003-b002-a002-b001-a001"};
  const char* codes[] = {"C-C-O", "C-C", "C-O", "O-C-C"};
  const int dropped[] = {0, 1, 1, 0};
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(ws.PathText(i), texts[i - 1]);
    EXPECT_EQ(ws.Code(i), codes[i - 1]);
    EXPECT_EQ(ws.codelist[static_cast<size_t>(i)].dropped, dropped[i - 1]);
  }
}

TEST(StructureKey, PhenolPathTexts) {
  std::vector<TestBond> bonds = kBenzene;
  bonds.push_back({1, 7});
  Molecule mol = Read(MolText("phenol", {"C", "C", "C", "C", "C", "C", "O"}, bonds));
  RecordingSink ui;
  KeyWorkspace ws;
  ASSERT_TRUE(MakeStructureKey(mol, ui, ws));
  EXPECT_EQ(ws.pathcount, 25);
  EXPECT_EQ(LastPathCount(), 25);
  EXPECT_EQ(TextsFrom(ws, 2),
            (std::vector<std::string>{
                "a002-b001-a001-b006-a006-b005-a005-b004-a004-b003-a003-b002-6",
                "a002-b001-a001-b007-a007",
                "a002-b002-a003-b003-a004-b004-a005-b005-a006-b006-a001-b001-6",
                "a002-b002-a003-b003-a004-b004-a005-b005-a006-b006-a001-b007-a007",
            }));
  for (int b = 1; b <= 6; ++b) {
    EXPECT_EQ(mol.bnddata[b].order, 4);
    EXPECT_EQ(mol.bnddata[b].bsym, "@");
  }
  EXPECT_EQ(mol.bnddata[7].bsym, "-");
}

TEST(StructureKey, CyclohexeneStaysUnmarked) {
  Molecule mol =
      Read(MolText("cyclohexene", Atoms(6), {{1, 2, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 1}}));
  RecordingSink ui;
  ASSERT_TRUE(MakeStructureKey(mol, ui));
  EXPECT_EQ(mol.keydata,
            "C=C-C-C-C-C-6/C-C-C-C-C-C=6/C-C=C-C-C-C-6/C-C-C-C-C=C-6/C-C-C=C-C-C-6/"
            "C-C-C-C=C-C-6");
  EXPECT_EQ(mol.bnddata[1].bsym, "=");
  EXPECT_EQ(mol.bnddata[1].order, 2);
}

TEST(StructureKey, SixRingMarkingNeedsThreeDoublesAndNoAromaticBond) {
  EXPECT_EQ(KeyOf(Atoms(6), {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6}, {6, 1}}).find('@'),
            std::string::npos);
  Molecule mol = Read(MolText("b", Atoms(6), kBenzene));
  mol.bnddata[2].order = 4;  // an aromatic bond left in the tables
  mol.bnddata[2].bsym.clear();
  RecordingSink ui;
  ASSERT_TRUE(MakeStructureKey(mol, ui));
  EXPECT_EQ(mol.keydata.find('@'), std::string::npos);
}

TEST(StructureKey, NeopentaneFollowsAllFourStartBonds) {
  Molecule mol = Read(MolText("neopentane", Atoms(5), {{1, 2}, {1, 3}, {1, 4}, {1, 5}}));
  RecordingSink ui;
  KeyWorkspace ws;
  ASSERT_TRUE(MakeStructureKey(mol, ui, ws));
  EXPECT_EQ(mol.keydata, "C-C-C");
  EXPECT_EQ(TextsFrom(ws, 1), (std::vector<std::string>{"a001-b001-a002", "a001-b004-a005",
                                                        "a001-b003-a004", "a001-b002-a003"}));
  EXPECT_EQ(ws.pathcount, 16);
}

// Atom 1 is reached from atom 3 after the walk's only deferred walk has been
// taken: its first continuation closes the three-ring, and the two others are
// still followed, bond 4 at once and bond 5 after it.
TEST(StructureKey, ContinuationsAfterRingClosureWithEmptyStack) {
  Molecule mol = Read(MolText("m", Atoms(5), {{1, 2}, {2, 3}, {3, 1}, {1, 4}, {1, 5}}));
  RecordingSink ui;
  KeyWorkspace ws;
  ASSERT_TRUE(MakeStructureKey(mol, ui, ws));
  const std::vector<std::string> from2 = TextsFrom(ws, 2);
  ASSERT_EQ(from2.size(), 6u);
  EXPECT_EQ(from2[3], "a002-b002-a003-b003-a001-b001-3");
  EXPECT_EQ(from2[4], "a002-b002-a003-b003-a001-b004-a004");
  EXPECT_EQ(from2[5], "a002-b002-a003-b003-a001-b005-a005");
}

TEST(StructureKey, TwoMethylnaphthalene) {
  std::vector<TestBond> bonds = kNaphthalene;
  bonds.push_back({11, 2});
  EXPECT_EQ(KeyOf(Atoms(11), bonds),
            "C@C@C@C@C@C@C@C@C@C@6/C@C@C@C@C@C@C@C@C@C-C/C-C@C@C@C@C@C@6/C-C@C@C@C@C@C@C@C@6/"
            "C-C@C@C@C@C@C@C@C@C@C@10/C-C@C@C@C@C@C@C@C@C@6");
}

// A star of n leaves gives n * n path texts.
std::vector<TestBond> Star(int leaves) {
  std::vector<TestBond> bonds;
  for (int i = 2; i <= leaves + 1; ++i) bonds.push_back({1, i});
  return bonds;
}

TEST(StructureKey, TenThousandthPathTextFails) {
  std::vector<TestBond> bonds = Star(100);  // exactly 10000 texts
  for (const TestBond& b : kBenzene) bonds.push_back({b.atom1 + 101, b.atom2 + 101, b.type});
  Molecule mol = Read(MolText("star", Atoms(107), bonds));
  mol.keydata = "previous";
  RecordingSink ui;
  const KeyResult result = MakeStructureKey(mol, ui);
  EXPECT_FALSE(result);
  EXPECT_EQ(result.status, KeyStatus::kTooLarge);
  EXPECT_EQ(result.message, "starは分子が大きすぎます");  // the molecule named
  EXPECT_EQ(ui.messages, std::vector<std::string>{result.message});
  EXPECT_EQ(std::string(result.keyfail()), "T");
  EXPECT_EQ(mol.keydata, "previous");
  EXPECT_EQ(LastPathCount(), 9999);
  EXPECT_EQ(mol.bnddata[101].order, 2);  // no marking
  EXPECT_EQ(mol.bnddata[101].bsym, "=");
}

TEST(StructureKey, NineThousandNineHundredNinetyNinePathTextsSucceed) {
  std::vector<TestBond> bonds = Star(99);                       // 9801 texts
  for (int i = 101; i < 200; ++i) bonds.push_back({i, i + 1});  // a chain of 100: 198 texts
  Molecule mol = Read(MolText("big", Atoms(200), bonds));
  RecordingSink ui;
  const KeyResult result = MakeStructureKey(mol, ui);
  ASSERT_TRUE(result);
  EXPECT_EQ(LastPathCount(), 9999);
  EXPECT_EQ(std::string(result.keyfail()), "F");
  EXPECT_TRUE(ui.messages.empty());
  std::string chain = "C";
  for (int i = 1; i < 100; ++i) chain += "-C";
  EXPECT_EQ(mol.keydata, chain);
}

// A drug-sized molecule with its hydrogens drawn has too many walks; its key
// is made without them, and is the key of the molecule drawn without them.
TEST(StructureKey, ExplicitHydrogensAreLeftOutAtThePathLimit) {
  const std::string path = std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol/testosterone.mol";
  Molecule plain;
  RecordingSink ui;
  ASSERT_TRUE(ReadMolFile(plain, path, ui));
  CalcFormulaWeight(plain);
  std::vector<std::string> symbols;
  std::vector<TestBond> bonds;
  for (int i = 1; i <= plain.atmcount; ++i)
    symbols.push_back(plain.atmdata[static_cast<size_t>(i)].symbol);
  for (int j = 1; j <= plain.bndcount; ++j) {
    const BondRow& b = plain.bnddata[static_cast<size_t>(j)];
    bonds.push_back({b.atom1, b.atom2, b.order});
  }
  for (int i = 1; i <= plain.atmcount; ++i) {
    for (int h = 0; h < plain.posdata[static_cast<size_t>(i)].hcount; ++h) {
      symbols.push_back("H");
      bonds.push_back({i, static_cast<int>(symbols.size())});
    }
  }
  ASSERT_TRUE(MakeStructureKey(plain, ui));
  Molecule drawn = Read(MolText("testosterone", symbols, bonds));
  EXPECT_EQ(drawn.molformula, plain.molformula);
  Molecule once = drawn;
  auto ws = std::make_unique<KeyWorkspace>();
  EXPECT_FALSE(ws->RunOnce(once, ui));  // with its 28 hydrogens
  const KeyResult result = MakeStructureKey(drawn, ui);
  ASSERT_TRUE(result);
  EXPECT_EQ(result.hydrogensLeftOut, 28);
  EXPECT_EQ(drawn.keydata, plain.keydata);
  EXPECT_TRUE(ui.messages.empty());
  // A structure whose drawn hydrogens all carry something stays too large.
  for (int i = plain.atmcount + 1; i <= drawn.atmcount; ++i)
    drawn.posdata[static_cast<size_t>(i)].isotope = 2;
  EXPECT_FALSE(MakeStructureKey(drawn, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"testosteroneは分子が大きすぎます"});
}

// The engine against the literal reference: path texts, codes, selection,
// key and the bond table after marking.
void ExpectSameAsReference(const Molecule& input, KeyWorkspace& ws) {
  Molecule mol = input;
  Molecule ref = input;
  RecordingSink ui, ui_ref;
  const bool ok = MakeStructureKey(mol, ui, ws).ok();
  const testing::ReferenceRun run = testing::ReferenceKey(ref, ui_ref);
  ASSERT_EQ(ok, run.ok);
  if (!ok) return;
  ASSERT_EQ(static_cast<size_t>(ws.pathcount), run.paths.size());
  for (int i = 1; i <= ws.pathcount; ++i) {
    const size_t r = static_cast<size_t>(i - 1);
    ASSERT_EQ(ws.PathText(i), run.paths[r]) << "row " << i;
    ASSERT_EQ(ws.Code(i), run.codes[r]) << "row " << i;
    ASSERT_EQ(ws.codelist[static_cast<size_t>(i)].dropped, run.dropped[r]) << "row " << i;
  }
  EXPECT_EQ(mol.keydata, run.key);
  for (int b = 1; b <= mol.bndcount; ++b) {
    EXPECT_EQ(mol.bnddata[b].order, ref.bnddata[b].order) << "bond " << b;
    EXPECT_EQ(mol.bnddata[b].bsym, ref.bnddata[b].bsym) << "bond " << b;
  }
}

TEST(StructureKeyReference, BondsBeyondFourSelfLoopsAndParallelBonds) {
  auto ws = std::make_unique<KeyWorkspace>();
  // Sulfur with six fluorines; seven carbons all bonded to each other.
  ExpectSameAsReference(Read(MolText("sf6", {"S", "F", "F", "F", "F", "F", "F"}, Star(6))), *ws);
  std::vector<TestBond> clique;
  for (int i = 1; i <= 6; ++i) {
    for (int j = i + 1; j <= 6; ++j) clique.push_back({i, j, 1 + (i + j) % 2});
  }
  ExpectSameAsReference(Read(MolText("k6", Atoms(6), clique)), *ws);
  // An atom bonded to itself, first and later in its bond list, and a double
  // connection between two atoms.
  ExpectSameAsReference(Read(MolText("loop", {"C", "N", "O"}, {{1, 1}, {1, 2}, {2, 3}, {2, 2, 2}})),
                        *ws);
  ExpectSameAsReference(Read(MolText("pair", Atoms(3), {{1, 2}, {1, 2, 2}, {2, 3}})), *ws);
}

// Random molecules with mixed bond types and symbols (among them blank and
// unknown ones), and fused six-rings with random double bonds.
TEST(StructureKeyReference, RandomMolecules) {
  std::mt19937 rng(20240611);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::vector<std::string> symbols = {"C", "C", "C", "N", "O", "Cl", "Na", "", "S"};
  auto ws = std::make_unique<KeyWorkspace>();
  for (int round = 0; round < 400; ++round) {
    std::vector<TestBond> bonds;
    int n = 0;
    if (round % 2 == 0) {
      n = pick(2, 12);
      for (int i = 2; i <= n; ++i) bonds.push_back({pick(1, i - 1), i, pick(1, 4)});
      for (int extra = pick(0, 4); extra > 0; --extra) {
        bonds.push_back({pick(1, n), pick(1, n), pick(1, 2)});
      }
    } else {
      // An acene of two or three hexagons (top row 1..2r+1, bottom row below
      // it, rungs at every second atom) and a side chain.
      const int r = pick(2, 3), row = 2 * r + 1;
      n = 2 * row + 1;
      for (int i = 1; i < row; ++i) {
        bonds.push_back({i, i + 1, pick(1, 2)});
        bonds.push_back({row + i, row + i + 1, pick(1, 2)});
      }
      for (int i = 1; i <= row; i += 2) bonds.push_back({i, row + i, pick(1, 2)});
      bonds.push_back({pick(1, 2 * row), 2 * row + 1, 1});
    }
    SCOPED_TRACE("round " + std::to_string(round));
    // The tables as any reader may leave them: symbols of every kind (blank
    // and unknown ones among them) and bonds left aromatic (type 4).
    std::vector<int> types;
    for (TestBond& b : bonds) {
      types.push_back(b.type);
      if (b.type == 4) b.type = 1;
    }
    Molecule mol = Read(MolText("r", Atoms(n), bonds));
    if (round % 2 == 0) {
      for (int i = 1; i <= n; ++i) {
        mol.atmdata[static_cast<size_t>(i)].symbol = symbols[static_cast<size_t>(pick(0, 8))];
      }
    }
    for (size_t j = 0; j < types.size(); ++j) {
      if (types[j] != 4) continue;
      mol.bnddata[j + 1].order = 4;
      mol.bnddata[j + 1].bsym.clear();
    }
    ExpectSameAsReference(mol, *ws);
  }
}

TEST(StructureKeyReference, SampleMolecules) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(VUDUZEZ_SOURCE_DIR) / "sample" / "mol";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "no sample MOL folder";
  auto ws = std::make_unique<KeyWorkspace>();
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".mol") continue;
    SCOPED_TRACE(entry.path().string());
    Molecule mol;
    RecordingSink ui;
    ASSERT_TRUE(ReadMolFile(mol, entry.path().string(), ui));
    CalcFormulaWeight(mol);
    ExpectSameAsReference(mol, *ws);
  }
}

}  // namespace
}  // namespace vuduzez
