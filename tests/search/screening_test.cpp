// Screening and matching: the count rule, loading the database into mldata
// rows, the four screens, the path code test and the prefilter index.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/errors.h"
#include "search/screening.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::TempFolder;
using testing::WriteFile;

std::string Record(const std::string& name, const std::string& weight, const std::string& formula,
                   const std::string& key) {
  return name + "\r\n" + weight + "\r\n" + formula + "\r\n" + key + "\r\n";
}

Query MakeQ(int32_t weight, int32_t c, int32_t n, int32_t o, std::string_view key) {
  Query q;
  q.weight = weight;
  q.ccount = c;
  q.ncount = n;
  q.ocount = o;
  q.codes = SplitPathCodes(key);
  return q;
}

std::vector<std::string> Hits(const std::string& db, const Query& q) {
  SearchState s;
  LoadSearchText(s, db);
  RunScreening(s, q);
  return s.hitnames;
}

TEST(CountRule, FormulaTexts) {
  struct Case {
    const char* formula;
    int c, n, o;
  } cases[] = {{"C6H5Cl", 6, 0, 0},      {"CH4O", 1, 0, 1},  {"Cl2O", 0, 0, 1},
               {"C12H22O11", 12, 0, 11}, {"C2Cl6", 2, 0, 0}, {"Cl2", 0, 0, 0},
               {"C8H10N4O2", 8, 4, 2},   {"", 0, 0, 0},      {"ClCH2Cl", 1, 0, 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.formula);
    EXPECT_EQ(CountElement(k.formula, "C"), k.c);
    EXPECT_EQ(CountElement(k.formula, "N"), k.n);
    EXPECT_EQ(CountElement(k.formula, "O"), k.o);
  }
}

TEST(SplitPathCodes, PiecesAtSlashes) {
  EXPECT_EQ(SplitPathCodes("a/b/c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitPathCodes("a/b/"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitPathCodes("a//b"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitPathCodes("").empty());
  EXPECT_EQ(SplitPathCodes("/"), std::vector<std::string>{""});
}

TEST(LoadSearchData, RecordsFieldsFromTheFourLines) {
  SearchState s;
  LoadSearchText(s, Record("benzene.mol", "78.11", "C6H6", "C@C@C@C@C@C@6") +
                        Record("no-dot", "120", "C2Cl6", "Cl-C-Cl"));
  ASSERT_EQ(s.mlcount, 2);
  EXPECT_EQ(s.records[0].name, "benzene");
  EXPECT_EQ(s.records[0].weight, 78);
  EXPECT_EQ(s.records[0].ccount, 6);
  EXPECT_EQ(s.records[0].key, "C@C@C@C@C@C@6");
  EXPECT_EQ(s.records[1].name, "no-dot");
  EXPECT_EQ(s.records[1].weight, 120);
  EXPECT_EQ(s.records[1].ccount, 2);
}

TEST(LoadSearchData, BlankLinesLineEndsAndAByteOrderMarkDoNotChangeTheRecords) {
  const std::string plain =
      Record("a.mol", "78.11", "C6H6", "C@C@6") + Record("b.mol", "94.1", "C6H6O", "O-C");
  std::string lf = plain, cr = plain;
  std::erase(lf, '\r');
  std::erase(cr, '\n');
  const std::string blanks = "\r\n" + Record("a.mol", "78.11", "C6H6", "C@C@6") + "\r\n\r\n" +
                             Record("b.mol", "94.1", "C6H6O", "O-C") + "\r\n  \r\n";
  for (const std::string& text : {plain, lf, cr, blanks, "\xEF\xBB\xBF" + plain}) {
    SearchState s;
    LoadSearchText(s, text);
    ASSERT_EQ(s.mlcount, 2);
    EXPECT_EQ(s.records[0].name, "a");
    EXPECT_EQ(s.records[1].name, "b");
    EXPECT_EQ(s.records[1].ocount, 1);
    EXPECT_EQ(s.records[1].key, "O-C");
  }
}

TEST(LoadSearchData, EmptyFileAndHugeKeyLine) {
  SearchState s;
  LoadSearchText(s, "");
  EXPECT_EQ(s.mlcount, 0);
  EXPECT_EQ(RunScreening(s, MakeQ(0, 0, 0, 0, "")), 0);

  std::string big(1 << 20, 'C');
  big += "N-O";
  LoadSearchText(s, Record("big.mol", "1000.5", "C90N", big));
  ASSERT_EQ(s.mlcount, 1);
  EXPECT_EQ(s.records[0].key.size(), big.size());
  EXPECT_EQ(RunScreening(s, MakeQ(1, 1, 1, 0, "CCCCCCN-O")), 1);
}

TEST(LoadSearchData, FailedLoadKeepsWhatWasLoaded) {
  TempFolder dir;
  SearchState s;
  LoadSearchText(s, Record("a.mol", "78.11", "C6H6", "C@C@6"));
  RunScreening(s, MakeQ(0, 0, 0, 0, ""));
  const auto before = s.records;

  // A non-integer weight line in the second record, a missing file, and a
  // record cut short before its weight line.
  EXPECT_THROW(LoadSearchText(s, Record("b.mol", "94.11", "C6H6O", "O-C") +
                                     Record("c.mol", "heavy", "C", "C")),
               RuntimeError);
  EXPECT_THROW(LoadSearchData(s, dir / "missing.txt"), RuntimeError);
  EXPECT_THROW(LoadSearchText(s, Record("b.mol", "94.11", "C6H6O", "O-C") + "c.mol\r\n"),
               RuntimeError);
  ASSERT_EQ(s.mlcount, 1);
  EXPECT_EQ(s.records.size(), 1u);
  EXPECT_EQ(s.records[0].name, before[0].name);
  EXPECT_EQ(s.hitcount, 1);

  try {
    LoadSearchText(s, Record("c.mol", "7x.5", "C", "C"));
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "'7x' は整数ではありません");
    EXPECT_EQ(e.line(), 2);  // the weight line
  }
  try {
    LoadSearchText(s, "\r\n" + Record("c.mol", "7.5", "C99999999999", "C"));
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.line(), 4);  // the formula line, after a blank line
  }

  // A record cut short after its weight line loads with empty lines.
  WriteFile(dir / "cut.txt", Record("a.mol", "78.11", "C6H6", "C@C@6") + "cut.mol\r\n12.01");
  LoadSearchData(s, dir / "cut.txt");
  ASSERT_EQ(s.mlcount, 2);
  EXPECT_EQ(s.records[1].key, "");
}

TEST(Screening, WeightIsComparedByIntegerPart) {
  const std::string db = Record("light.mol", "77.99", "C6H6", "C@C@C@C@C@C@6") +
                         Record("exact.mol", "78.00", "C6H6", "C@C@C@C@C@C@6");
  Molecule mol;
  mol.molweight = "78.11";
  mol.elmcount[kCarbon] = 6;
  mol.keydata = "C@C@C@C@C@C@6";
  SearchState s;
  LoadSearchText(s, db);
  EXPECT_EQ(RunScreening(s, mol), 1);
  EXPECT_EQ(s.hitnames, std::vector<std::string>{"exact"});
  EXPECT_EQ(s.hitpos, 1);
}

TEST(Screening, ElementScreens) {
  const std::string db =
      Record("noN.mol", "100", "C6H6O", "X") + Record("oneO.mol", "100", "C6H6O", "X") +
      Record("twoO.mol", "100", "C6H6O2N", "X") + Record("chlorine.mol", "100", "Cl2", "X");
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 0, "X")),
            (std::vector<std::string>{"noN", "oneO", "twoO", "chlorine"}));
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 2, "X")), std::vector<std::string>{"twoO"});
  EXPECT_EQ(Hits(db, MakeQ(0, 1, 0, 0, "X")), (std::vector<std::string>{"noN", "oneO", "twoO"}));
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 1, 0, "")), std::vector<std::string>{"twoO"});
}

TEST(Screening, PathCodes) {
  const std::string db = Record("phenol.mol", "94.11", "C6H6O", "C@C@C@C@C@C-O/O-C@C@C@C@C@C@6") +
                         Record("twin.mol", "94.11", "C6H6O", "O-C@C@") +
                         Record("twin.mol", "94.11", "C6H6O", "O-C@C@C@C@C@C@6");
  // An empty key: every screened record is a hit.
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 0, "")).size(), 3u);
  // One code matches also inside a longer code; both records of one name hit.
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 0, "C@C-O")), std::vector<std::string>{"phenol"});
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 0, "O-C@C@")),
            (std::vector<std::string>{"phenol", "twin", "twin"}));
  // Every code must be found; an empty code never is.
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 0, "O-C@C@/C@C@C@6")),
            (std::vector<std::string>{"phenol", "twin"}));
  EXPECT_TRUE(Hits(db, MakeQ(0, 0, 0, 0, "O-C@C@//C@")).empty());
  EXPECT_EQ(Hits(db, MakeQ(0, 0, 0, 0, "O-C@C@/")).size(), 3u);
  // Codes never match across the "/" between two codes of a record.
  EXPECT_TRUE(Hits(db, MakeQ(0, 0, 0, 0, "C-O/O-C")).size() == 1u);
  EXPECT_TRUE(Hits(db, MakeQ(0, 0, 0, 0, "C-OO-C")).empty());
}

TEST(Screening, ExplainSaysWhichScreenFailed) {
  SearchState s;
  LoadSearchText(s, Record("light.mol", "77.99", "C6H6", "A") +
                        Record("noO.mol", "99", "C6H6", "A") +
                        Record("miss.mol", "99", "C6H6O", "C-C/C-N") +
                        Record("hit.mol", "99", "C6H6O", "C-O-C"));
  const Query q = MakeQ(78, 1, 0, 1, "C-C/C-O");
  const auto verdicts = ExplainScreening(s, q);
  ASSERT_EQ(verdicts.size(), 4u);
  EXPECT_EQ(ExplainVerdict(s.records[0], q, verdicts[0]), "weight 77 < 78");
  EXPECT_EQ(ExplainVerdict(s.records[1], q, verdicts[1]), "O 0 < 1");
  EXPECT_EQ(ExplainVerdict(s.records[2], q, verdicts[2]), "path code 2 of 2 not found: C-O");
  EXPECT_EQ(ExplainVerdict(s.records[3], q, verdicts[3]), "path code 1 of 2 not found: C-C");
  RunScreening(s, MakeQ(78, 1, 0, 1, "C-O"));
  EXPECT_EQ(s.hitnames, std::vector<std::string>{"hit"});
}

// The prefilter may only drop records that the substring test would drop:
// random keys and queries, hit lists compared with the verdicts of the plain
// test, record by record.
TEST(Screening, IndexGivesTheSameHitsAsThePlainTest) {
  std::mt19937 rng(12345);
  const std::string atoms[] = {"C", "C", "C", "N", "O", "S", "Cl"};
  const std::string bonds[] = {"-", "-", "=", "@", "_"};
  auto code = [&](int len) {
    std::string c;
    for (int i = 0; i < len; ++i) c += atoms[rng() % 7] + (i + 1 < len ? bonds[rng() % 5] : "");
    if (rng() % 4 == 0) c += std::to_string(6);
    return c;
  };
  std::string db;
  std::vector<std::string> keys;
  for (int r = 0; r < 400; ++r) {
    std::string key;
    int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) key += (i ? "/" : "") + code(2 + static_cast<int>(rng() % 9));
    keys.push_back(key);
    db += Record("r" + std::to_string(r) + ".mol", "100", "C", key);
  }
  SearchState s;
  LoadSearchText(s, db);
  int total = 0;
  for (int t = 0; t < 300; ++t) {
    std::string key;
    int n = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) {
      std::string c;
      if (rng() % 2) {
        // A piece of a record's key, so that many queries have hits.
        const std::string& k = keys[rng() % keys.size()];
        size_t from = rng() % k.size();
        c = k.substr(from, 1 + rng() % 12);
        c = c.substr(0, c.find('/'));
        if (c.empty()) c = "C";
      } else {
        c = code(2 + static_cast<int>(rng() % 3));
      }
      key += (i ? "/" : "") + c;
    }
    const Query q = MakeQ(0, 0, 0, 0, key);
    RunScreening(s, q);
    std::vector<std::string> expected;
    const auto verdicts = ExplainScreening(s, q);
    for (size_t r = 0; r < verdicts.size(); ++r) {
      if (verdicts[r].result == ScreenResult::kHit) expected.emplace_back(s.records[r].name);
    }
    ASSERT_EQ(s.hitnames, expected) << "query " << key;
    total += s.hitcount;
  }
  EXPECT_GT(total, 300);  // the queries did find things

  // A database large enough to be screened on several threads: the same
  // hits, in database order.
  std::string large;
  for (int i = 0; i < 110; ++i) large += db;
  LoadSearchText(s, large);
  for (int t = 0; t < 8; ++t) {
    const std::string& k = keys[rng() % keys.size()];
    const Query q = MakeQ(0, 0, 0, 0, k.substr(0, k.find('/')));
    RunScreening(s, q);
    std::vector<int32_t> expected;
    const auto verdicts = ExplainScreening(s, q);
    for (size_t r = 0; r < verdicts.size(); ++r) {
      if (verdicts[r].result == ScreenResult::kHit) expected.push_back(static_cast<int32_t>(r));
    }
    ASSERT_GE(expected.size(), 110u);
    ASSERT_EQ(s.hitrows, expected);
    ASSERT_EQ(s.hitnames.size(), expected.size());
  }
}

// The substring test against std::string::find, for every piece of keys of
// every length around the widths the test compares at once.
TEST(Screening, SubstringTestAtEveryPositionAndLength) {
  std::mt19937 rng(7);
  const char alphabet[] = "CC-@=ON/6";
  for (size_t len = 0; len <= 70; ++len) {
    std::string key;
    for (size_t i = 0; i < len; ++i) key += alphabet[rng() % 9];
    std::replace(key.begin(), key.end(), '/', 'S');  // one code, no "/"
    SearchState s;
    LoadSearchText(s, Record("k.mol", "1", "C", key));
    for (int t = 0; t < 200; ++t) {
      std::string code;
      if (len > 0 && t % 2 == 0) {
        size_t from = rng() % len;
        code = key.substr(from, 1 + rng() % (len - from));
        if (t % 4 == 0 && !code.empty()) code.back() = alphabet[rng() % 9];
      } else {
        for (size_t i = 0, n = 1 + rng() % 6; i < n; ++i) code += alphabet[rng() % 9];
      }
      if (code.find('/') != std::string::npos) continue;
      const bool expected = key.find(code) != std::string::npos;
      ASSERT_EQ(RunScreening(s, MakeQ(0, 0, 0, 0, code)), expected ? 1 : 0)
          << "key " << key << " code " << code;
    }
  }
}

TEST(Screening, QueryValuesFromTheMolecule) {
  Molecule mol;
  mol.molweight = "180.16";
  mol.elmcount[kCarbon] = 9;
  mol.elmcount[kNitrogen] = 0;
  mol.elmcount[kOxygen] = 4;
  mol.keydata = "C-C/O=C/";
  Query q = MakeQuery(mol);
  EXPECT_EQ(q.weight, 180);
  EXPECT_EQ(q.ccount, 9);
  EXPECT_EQ(q.ocount, 4);
  EXPECT_EQ(q.codes, (std::vector<std::string>{"C-C", "O=C"}));
  mol.molweight = "";
  EXPECT_THROW(MakeQuery(mol), RuntimeError);
}

}  // namespace
}  // namespace vuduzez
