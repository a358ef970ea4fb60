// The exact search end to end: RDKit's answers whatever the Kekulé form
// drawn, SMARTS and MOL query atoms, the screen that never drops a match,
// the matcher's step limit, highlights in MOL atom numbers, and the rules of
// the sound index (used while current, reused when stale, rebuilt when
// damaged, an edited MOL file read again, registration and deletion
// keeping it current).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "chem/perceive.h"
#include "chem/sound_query.h"
#include "database/database.h"
#include "model/molreader.h"
#include "register/batch.h"
#include "register/delete.h"
#include "search/sound_matcher.h"
#include "search/sound_search.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TempFolder;
using testing::WriteFile;

const std::string kKetone = MolText("ketone", {"C", "C", "O", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}});
// Benzene rings and a pyrrole drawn in both Kekulé forms.
const std::string kToluene1 =
    MolText("t", {"C", "C", "C", "C", "C", "C", "C"},
            {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}, {1, 7}});
const std::string kToluene2 =
    MolText("t", {"C", "C", "C", "C", "C", "C", "C"},
            {{1, 2}, {2, 3, 2}, {3, 4}, {4, 5, 2}, {5, 6}, {6, 1, 2}, {1, 7}});
const std::string kPyrrole =
    MolText("p", {"N", "C", "C", "C", "C"}, {{1, 2}, {2, 3, 2}, {3, 4}, {4, 5, 2}, {5, 1}});
const std::string kCyclohexane =
    MolText("c", testing::Atoms(6), {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 1}});

class ExactSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CACHE_HOME");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    std::filesystem::create_directory(mol_);
    WriteFile(db_, "");
    Put("acetone", kKetone);
    Put("acid", MolText("acid", {"C", "C", "O", "O", "C"}, {{5, 1}, {1, 2}, {2, 3, 2}, {2, 4}}));
    Put("cyclohexane", kCyclohexane);
    Put("pyrrole", kPyrrole);
    Put("toluene1", kToluene1);
    Put("toluene2", kToluene2);
    Register();
  }
  void TearDown() override {
    if (saved_) {
      setenv("XDG_CACHE_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }

  void Put(const std::string& name, const std::string& text) {
    WriteFile(mol_ + "/" + name + ".mol", text);
  }
  void Register() {
    Molecule mol;
    RecordingSink ui;
    ASSERT_TRUE(BatchRegister(mol_, db_, mol, ui).finished);
  }

  struct Outcome {
    std::vector<std::string> hits;
    std::vector<std::string> unconfirmed;
    size_t perceived = 0;  // MOL files read to make the index
  };
  Outcome Search(chem::QueryForm form, const std::string& text) {
    const chem::QueryResult q = chem::CompileQuery(form, text);
    EXPECT_TRUE(q.query) << q.error;
    if (!q.query) return {};
    SoundState state;
    RecordingSink ui;
    EXPECT_TRUE(PrepareSoundIndex(state, db_, mol_, ui));
    const SoundResult r = SoundSearch(state, *q.query, ui);
    Outcome o;
    for (int32_t row : r.rows) o.hits.emplace_back(state.index->Name(static_cast<size_t>(row)));
    for (const auto& u : r.unconfirmed) {
      o.unconfirmed.emplace_back(state.index->Name(static_cast<size_t>(u.row)));
    }
    o.perceived = state.perceived;
    return o;
  }
  std::vector<std::string> Smiles(const std::string& s) {
    return Search(chem::QueryForm::kSmiles, s).hits;
  }

  TempFolder dir_;
  std::string mol_ = dir_ / "mol";
  std::string db_ = dir_ / "db.txt";
  std::optional<std::string> saved_;
};

using Names = std::vector<std::string>;

TEST_F(ExactSearch, HitsAreRdkitsWhateverTheKekuleFormDrawn) {
  // Either drawing of toluene is aromatic; cyclohexane is not.
  EXPECT_EQ(Smiles("c1ccccc1"), (Names{"toluene1", "toluene2"}));
  EXPECT_EQ(Search(chem::QueryForm::kMolText, kToluene2).hits, (Names{"toluene1", "toluene2"}));
  EXPECT_EQ(Smiles("C1CCCCC1"), Names{"cyclohexane"});
  // A five-membered heteroaromatic ring, and a query atom drawn without H.
  EXPECT_EQ(Smiles("c1cc[nH]c1"), Names{"pyrrole"});
  EXPECT_EQ(Smiles("CC(=O)C"), Names{"acetone"});
  EXPECT_EQ(Smiles("CC(=O)O"), Names{"acid"});
  // A one-atom query is every record with that element, not every record.
  EXPECT_EQ(Smiles("O"), (Names{"acetone", "acid"}));
}

TEST_F(ExactSearch, SmartsAndMolQueryAtomsCarryTheirMeaning) {
  const auto smarts = [&](const std::string& s) {
    return Search(chem::QueryForm::kSmarts, s).hits;
  };
  EXPECT_EQ(smarts("[#7;a]"), Names{"pyrrole"});
  EXPECT_EQ(smarts("[CX3](=O)[OX2H1]"), Names{"acid"});
  EXPECT_EQ(smarts("[R]"), (Names{"cyclohexane", "pyrrole", "toluene1", "toluene2"}));
  EXPECT_EQ(smarts("[$(C=O)]C"), (Names{"acetone", "acid"}));
  EXPECT_EQ(smarts("c:c-[CH3]"), (Names{"toluene1", "toluene2"}));
  // A MOL query: Q (any atom but C and H) double-bonded to any atom (A).
  EXPECT_EQ(Search(chem::QueryForm::kMolText, MolText("q", {"A", "Q"}, {{1, 2, 2}})).hits,
            (Names{"acetone", "acid"}));
  // An atom list: N or O, with any bond (type 8) to a carbon.
  std::string list = MolText("l", {"L", "C"}, {{1, 2, 8}});
  list.replace(list.find("M  END"), 0, "M  ALS   1  2 F N   O   \r\n");
  EXPECT_EQ(Search(chem::QueryForm::kMolText, list).hits, (Names{"acetone", "acid", "pyrrole"}));
  // What RDKit does not read is refused with its reason.
  const chem::QueryResult bad = chem::CompileQuery(chem::QueryForm::kSmarts, "[#7");
  EXPECT_FALSE(bad.query);
  EXPECT_FALSE(bad.error.empty());
  EXPECT_TRUE(chem::LooksLikeSmarts("[#7;a]"));
  EXPECT_FALSE(chem::LooksLikeSmarts("c1ccccc1"));
}

TEST_F(ExactSearch, RecordsWithoutAReadableMolFileAreUnconfirmedNotDropped) {
  std::filesystem::remove(mol_ + "/acid.mol");
  // Five bonds to a neutral carbon: RDKit does not read it.
  Put("pyrrole", MolText("x", testing::Atoms(6), {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}}));
  const Outcome o = Search(chem::QueryForm::kSmiles, "C");
  EXPECT_EQ(o.unconfirmed, (Names{"acid", "pyrrole"}));
  EXPECT_EQ(o.hits, (Names{"acetone", "cyclohexane", "toluene1", "toluene2"}));
}

TEST_F(ExactSearch, RegistrationAndDeletionKeepTheIndexCurrent) {
  // Batch registration made the index: a search reads no MOL file.
  EXPECT_EQ(Search(chem::QueryForm::kSmiles, "C").perceived, 0u);
  auto mapped = MapSoundIndex(db_);
  ASSERT_TRUE(mapped);
  EXPECT_EQ(mapped->stamp, StampOf(db_));
  EXPECT_EQ(mapped->index.size(), 6u);
  EXPECT_EQ(testing::ModeOf(dir_ / "cache/vuduzez"), 0700u);
  Put("pentanone",
      MolText("p", {"C", "C", "C", "O", "C", "C"}, {{1, 2}, {2, 3}, {3, 4, 2}, {3, 5}, {5, 6}}));
  Register();
  RecordingSink ui;
  DeleteCompound(db_, mol_, "acid.mol", ui);
  mapped = MapSoundIndex(db_);
  ASSERT_TRUE(mapped);
  EXPECT_EQ(mapped->stamp, StampOf(db_));
  const Outcome o = Search(chem::QueryForm::kSmiles, "CC(=O)C");
  EXPECT_EQ(o.perceived, 0u);
  EXPECT_EQ(o.hits, (Names{"acetone", "pentanone"}));
}

TEST_F(ExactSearch, AStaleIndexIsReusedAndOnlyNewRecordsAreRead) {
  // A record appended by another program: the stamp no longer matches.
  Put("zketone", kKetone);
  AppendRecord(db_, "zketone.mol", "58.08", "C3H6O", "C-C=O/C-C-C/O=C-C");
  Outcome o = Search(chem::QueryForm::kSmiles, "CC(=O)C");
  EXPECT_EQ(o.perceived, 1u);
  EXPECT_EQ(o.hits, (Names{"acetone", "zketone"}));
  EXPECT_EQ(MapSoundIndex(db_)->stamp, StampOf(db_));
  EXPECT_EQ(Search(chem::QueryForm::kSmiles, "CC(=O)C").perceived, 0u);
}

TEST_F(ExactSearch, ADamagedOrForeignIndexIsRebuiltNeverTrusted) {
  const std::string path = *CachePathFor(kSoundIndexKind, db_);
  const std::string bytes = testing::ReadFile(path);
  ASSERT_GT(bytes.size(), 1000u);
  for (int damage = 0; damage < 3; ++damage) {
    std::string bad = bytes;
    if (damage == 0) bad.resize(bad.size() / 2);
    if (damage == 1) bad[bad.size() / 3] ^= 0x20;
    if (damage == 2) bad.clear();
    WriteFile(path, bad);
    EXPECT_FALSE(MapSoundIndex(db_)) << damage;
    const Outcome o = Search(chem::QueryForm::kSmiles, "c1ccccc1");
    EXPECT_EQ(o.perceived, 6u) << damage;
    EXPECT_EQ(o.hits, (Names{"toluene1", "toluene2"}));
  }
  // Another database's index under this database's name.
  const std::string other = dir_ / "other.txt";
  WriteFile(other, testing::ReadFile(db_));
  WriteFile(*CachePathFor(kSoundIndexKind, other), testing::ReadFile(path));
  EXPECT_FALSE(MapSoundIndex(other));
}

TEST_F(ExactSearch, AnEditedMolFileIsReadAgainEvenWithItsOldSizeAndTime) {
  EXPECT_EQ(Smiles("CC(=O)C"), Names{"acetone"});
  // acetone.mol now holds an aldehyde of the same size, with its old times.
  const std::string path = mol_ + "/acetone.mol";
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  std::string text = kKetone;
  text.replace(text.rfind(" C "), 3, " H ");
  ASSERT_EQ(text.size(), kKetone.size());
  Put("acetone", text);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(Smiles("CC(=O)C"), Names{});
  EXPECT_EQ(Smiles("CC=O"), (Names{"acetone", "acid"}));
  // The index keeps what was read.
  const auto mapped = MapSoundIndex(db_);
  ASSERT_TRUE(mapped);
  EXPECT_EQ(mapped->index.Stamp(0), MolStampOf(path));
}

TEST(SoundMatcher, APathologicalQueryGivesUpWithinItsStepsAndStopsWhenAsked) {
  // Eight disjoint C-C pairs do not fit in a chain of 15 carbons with a
  // methyl on its second (16 atoms, at most 7 such pairs): the matcher must
  // say so (interchangeable fragments are tried in one order) or give up.
  std::vector<testing::TestBond> chain{{2, 16}};
  for (int a = 1; a < 15; ++a) chain.push_back({a, a + 1});
  const chem::PerceivedRecord record =
      chem::PerceiveRecord(MolText("c", testing::Atoms(16), chain));
  ASSERT_EQ(record.status, chem::RecordStatus::kOk);
  chem::GraphView g;
  ASSERT_TRUE(g.Parse(record.graph));
  const auto pairs = chem::CompileQuery(chem::QueryForm::kSmiles, "CC.CC.CC.CC.CC.CC.CC.CC");
  ASSERT_TRUE(pairs.query);
  SoundMatcher matcher(pairs.query->compiled);
  MatchBudget plenty(50'000'000);
  EXPECT_EQ(matcher.Match(g, plenty), MatchOutcome::kNoMatch);
  MatchBudget few(100);
  EXPECT_EQ(matcher.Match(g, few), MatchOutcome::kGaveUp);
  // A stop is heard inside one record.
  MatchBudget stopped(50'000'000, [] { return true; });
  EXPECT_EQ(matcher.Match(g, stopped), MatchOutcome::kStopped);
  const auto seven = chem::CompileQuery(chem::QueryForm::kSmiles, "CC.CC.CC.CC.CC.CC.CC");
  EXPECT_EQ(SoundMatcher(seven.query->compiled).Match(g), MatchOutcome::kMatch);
}

TEST(SoundMapping, HighlightsAreMolAtomNumbersWithDrawnHydrogensPassedOver) {
  // Hydrogens drawn first: RDKit removes them, the mapping still names the
  // drawn carbon and oxygen.
  const std::string text =
      MolText("m", {"H", "H", "H", "C", "O", "H"}, {{1, 4}, {2, 4}, {3, 4}, {4, 5}, {5, 6}});
  const auto q = chem::CompileQuery(chem::QueryForm::kSmiles, "CO");
  SoundMapping m;
  ASSERT_TRUE(FindSoundMapping(*q.query, text, m));
  EXPECT_EQ(m.atoms, (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(m.bonds, (std::vector<std::pair<int32_t, int32_t>>{{4, 5}}));
}

// The screen never drops a match: random connected pieces of the sample's
// molecules (which the molecule itself contains as RDKit sees them, or not)
// against every sample molecule; wherever RDKit finds a match, the record's
// fingerprint covers the query's and our matcher agrees.
TEST(SoundScreen, NeverDropsWhatRdkitMatches) {
  std::vector<std::string> texts;
  for (const auto& e : std::filesystem::directory_iterator(VUDUZEZ_SOURCE_DIR "/sample/mol")) {
    texts.push_back(testing::ReadFile(e.path().string()));
  }
  std::sort(texts.begin(), texts.end());
  std::vector<chem::PerceivedRecord> records;
  for (const std::string& t : texts) records.push_back(chem::PerceiveRecord(t));
  std::mt19937 random(21);
  int matches = 0;
  for (size_t k = 0; k < texts.size(); ++k) {
    Molecule mol;
    RecordingSink quiet;
    if (!ReadMolText(mol, texts[k], quiet) || mol.atmcount < 2) continue;
    for (int trial = 0; trial < 2; ++trial) {
      // A connected piece grown from a random atom.
      std::vector<int> keep{static_cast<int>(random() % mol.atmcount) + 1};
      const int size = 2 + static_cast<int>(random() % 8);
      for (int grow = 0; grow < 40 && static_cast<int>(keep.size()) < size; ++grow) {
        const BondRow& b = mol.bnddata[random() % mol.bndcount + 1];
        const bool has1 = std::count(keep.begin(), keep.end(), b.atom1) > 0;
        const bool has2 = std::count(keep.begin(), keep.end(), b.atom2) > 0;
        if (has1 != has2) keep.push_back(has1 ? b.atom2 : b.atom1);
      }
      std::vector<std::string> symbols;
      std::vector<int> charges;
      for (int a : keep) {
        symbols.push_back(mol.atmdata[static_cast<size_t>(a)].symbol);
        charges.push_back(mol.posdata[static_cast<size_t>(a)].charge);
      }
      std::vector<testing::TestBond> bonds;
      for (int32_t b = 1; b <= mol.bndcount; ++b) {
        const BondRow& row = mol.bnddata[static_cast<size_t>(b)];
        const auto i = std::find(keep.begin(), keep.end(), row.atom1);
        const auto j = std::find(keep.begin(), keep.end(), row.atom2);
        if (i != keep.end() && j != keep.end()) {
          bonds.push_back({static_cast<int>(i - keep.begin()) + 1,
                           static_cast<int>(j - keep.begin()) + 1, row.order});
        }
      }
      const auto q = chem::CompileQuery(chem::QueryForm::kMolText,
                                        MolText("q", symbols, bonds, "\r\n", charges));
      if (!q.query) continue;
      SoundMatcher matcher(q.query->compiled);
      for (size_t r = 0; r < texts.size(); ++r) {
        if (records[r].status != chem::RecordStatus::kOk) continue;
        const bool truth = chem::RdkitMatches(*q.query, texts[r]).matches;
        chem::GraphView g;
        g.Adopt(records[r].graph);
        EXPECT_EQ(matcher.Match(g) == MatchOutcome::kMatch, truth) << k << " in " << r;
        if (!truth) continue;
        ++matches;
        EXPECT_TRUE(chem::Covers(records[r].fingerprint, q.query->fingerprint)) << k << " in " << r;
      }
    }
  }
  EXPECT_GT(matches, 100);
}

}  // namespace
}  // namespace vuduzez
