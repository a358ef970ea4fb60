// The similarity search: RDKit's scores and ranking on real molecules (the
// figures below are RDKit's own, GetMorganFingerprintAsBitVect(mol, 2,
// nBits=2048) and BulkTanimotoSimilarity on the sample's MOL files), the
// popcount bound never passing over a record that reaches the threshold, and
// the index's cache rules (kept, extended, a changed MOL file scored anew).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "chem/similarity.h"
#include "database/database.h"
#include "register/batch.h"
#include "register/delete.h"
#include "search/similar_search.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TempFolder;

class CacheHere {
 public:
  explicit CacheHere(const std::string& folder) {
    const char* old = std::getenv("XDG_CACHE_HOME");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_CACHE_HOME", folder.c_str(), 1);
  }
  ~CacheHere() {
    if (saved_) {
      setenv("XDG_CACHE_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }

 private:
  std::optional<std::string> saved_;
};

struct Ranked {
  std::string name;
  double score;
  bool operator==(const Ranked&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Ranked& r) {
  return out << r.name << " " << ScoreText(r.score);
}
using RankedList = std::vector<Ranked>;

RankedList Search(SimilarState& state, chem::QueryForm form, const std::string& text,
                  double threshold, size_t top) {
  const chem::SimilarityQuery q = chem::SimilarityQueryOf(form, text);
  EXPECT_TRUE(q.ok) << q.error;
  RankedList out;
  for (const SimilarHit& h : SimilarSearch(state, q.print, {threshold, top}).hits) {
    out.push_back({std::string(state.index->Name(static_cast<size_t>(h.row))), h.score});
  }
  return out;
}

TEST(SimilarSearch, ScoresAndRankingAreRdkitsOnRealMolecules) {
  TempFolder dir;
  CacheHere cache(dir / "cache");
  const std::string sample = std::string(VUDUZEZ_SOURCE_DIR) + "/sample";
  SimilarState state;
  SoundState sound;
  RecordingSink ui;
  ASSERT_TRUE(PrepareSimilarIndex(state, sound, sample + "/compounds.txt", sample + "/mol", ui));
  ASSERT_EQ(state.index->size(), 93u);
  // Equal scores in database order (ibuprofen before its S form, aniline
  // before bromobenzene), also where the top k cut between them.
  EXPECT_EQ(Search(state, chem::QueryForm::kSmiles, "CC(C)Cc1ccc(cc1)C(C)C(=O)O", 0.3, 0),
            (RankedList{{"ibuprofen", 1.0},
                        {"s_ibuprofen", 1.0},
                        {"l_phenylalanine", 13.0 / 34},
                        {"l_lactic_acid", 9.0 / 27}}));
  EXPECT_EQ(Search(state, chem::QueryForm::kSmiles, "Oc1ccccc1", 0, 5),
            (RankedList{{"phenol", 1.0},
                        {"biphenyl", 6.0 / 14},
                        {"benzoic_acid", 7.0 / 18},
                        {"salicylic_acid", 8.0 / 21},
                        {"aniline", 6.0 / 16}}));
  // A MOL file as RDKit reads it by default, its hydrogens removed.
  EXPECT_EQ(
      Search(state, chem::QueryForm::kMolText, testing::ReadFile(sample + "/mol/testosterone.mol"),
             0.2, 3),
      (RankedList{
          {"testosterone", 1.0}, {"cholesterol", 23.0 / 65}, {"ethinylestradiol", 15.0 / 67}}));
  EXPECT_EQ(ScoreText(13.0 / 34), "0.38235294117647056");  // Python's repr of RDKit's score
  EXPECT_FALSE(chem::SimilarityQueryOf(chem::QueryForm::kSmarts, "[#6]").ok);
  EXPECT_FALSE(chem::SimilarityQueryOf(chem::QueryForm::kSmiles, "C1CC").ok);
}

// Records of the given prints (status kLarge: a print without a graph).
SimilarIndex IndexOf(const std::vector<chem::SimilarityPrint>& prints,
                     std::shared_ptr<std::string>& holder) {
  std::vector<SoundEntry> entries;
  for (size_t r = 0; r < prints.size(); ++r) {
    SoundEntry e;
    e.name = "r" + std::to_string(r);
    e.perceived.status = r % 17 == 5 ? chem::RecordStatus::kRefused : chem::RecordStatus::kLarge;
    if (e.perceived.status == chem::RecordStatus::kLarge) e.perceived.similarity = prints[r];
    entries.push_back(std::move(e));
  }
  const std::string sound = SoundPayload("/nowhere", entries).Join();
  const std::optional<SoundIndex> si = SoundIndex::Open(nullptr, sound);
  EXPECT_TRUE(si);
  holder = std::make_shared<std::string>(SimilarPayload(*si).Join());
  std::optional<SimilarIndex> ix = SimilarIndex::Open(holder, *holder);
  EXPECT_TRUE(ix);
  return std::move(*ix);
}

TEST(SimilarSearch, ThePopcountBoundNeverPassesOverAHit) {
  std::mt19937 random(23);
  // Prints clustered around a few shapes (many records near the query, many
  // scores equal to a threshold), some empty, from 0 to 200 bits.
  std::vector<chem::SimilarityPrint> prints;
  std::vector<chem::SimilarityPrint> shapes;
  for (int s = 0; s < 6; ++s) {
    chem::SimilarityPrint p;
    for (int b = 0; b < chem::kSimilarityBits; ++b) {
      if (random() % 40 == 0) p.push_back(static_cast<uint16_t>(b));
    }
    shapes.push_back(p);
  }
  for (int r = 0; r < 3000; ++r) {
    chem::SimilarityPrint p;
    if (r % 97 != 0) {
      for (uint16_t b : shapes[random() % shapes.size()]) {
        if (random() % 8 != 0) p.push_back(b);
      }
      for (int extra = static_cast<int>(random() % 12); extra-- > 0;) {
        p.push_back(static_cast<uint16_t>(random() % chem::kSimilarityBits));
      }
      std::sort(p.begin(), p.end());
      p.erase(std::unique(p.begin(), p.end()), p.end());
    }
    prints.push_back(p);
  }
  std::shared_ptr<std::string> holder;
  const SimilarIndex ix = IndexOf(prints, holder);
  ASSERT_EQ(ix.size(), prints.size());

  for (int round = 0; round < 60; ++round) {
    const chem::SimilarityPrint& query =
        round == 0 ? chem::SimilarityPrint{} : prints[random() % prints.size()];
    // Thresholds at exact scores (7/10 is the literal 0.7), and around them.
    const double thresholds[] = {0.0, 0.7, 2.0 / 3, 0.5, 1.0, 0.35 + 0.01 * (round % 20)};
    std::vector<SimilarHit> all;
    for (size_t r = 0; r < prints.size(); ++r) {
      if (r % 17 == 5) continue;  // no print
      const int common = chem::CommonBits(query, prints[r]);
      all.push_back({static_cast<int32_t>(r), chem::Tanimoto(common, static_cast<int>(query.size()),
                                                             static_cast<int>(prints[r].size()))});
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const SimilarHit& x, const SimilarHit& y) { return x.score > y.score; });
    for (double t : thresholds) {
      std::vector<SimilarHit> want;
      for (const SimilarHit& h : all) {
        if (h.score >= t) want.push_back(h);
      }
      for (size_t threads : {size_t{1}, size_t{3}}) {
        EXPECT_EQ(RankSimilar(ix, query, t, 0, threads), want) << "threshold " << t;
        for (size_t k : {size_t{1}, size_t{7}, size_t{200}}) {
          const std::vector<SimilarHit> top(
              want.begin(), want.begin() + static_cast<long>(std::min(k, want.size())));
          EXPECT_EQ(RankSimilar(ix, query, t, k, threads), top)
              << "threshold " << t << " top " << k;
        }
      }
    }
  }
}

class SimilarIndexRules : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(mol_);
    testing::WriteFile(db_, "");
    Put("propanol", MolText("p", {"C", "C", "C", "O"}, {{1, 2}, {2, 3}, {3, 4}}));
    Put("butanol", MolText("b", {"C", "C", "C", "C", "O"}, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}));
    Put("benzene",
        MolText("z", testing::Atoms(6), {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}}));
    Register();
  }
  void Put(const std::string& name, const std::string& text) {
    testing::WriteFile(mol_ + "/" + name + ".mol", text);
  }
  void Register() {
    Molecule mol;
    RecordingSink ui;
    ASSERT_TRUE(BatchRegister(mol_, db_, mol, ui).finished);
  }
  RankedList Similar(const std::string& smiles, size_t* perceived = nullptr) {
    SimilarState state;
    SoundState sound;
    RecordingSink ui;
    EXPECT_TRUE(PrepareSimilarIndex(state, sound, db_, mol_, ui));
    if (perceived) *perceived = sound.ready() ? sound.perceived : 0;
    return Search(state, chem::QueryForm::kSmiles, smiles, 0.3, 0);
  }

  TempFolder dir_;
  CacheHere cache_{dir_ / "cache"};
  std::string mol_ = dir_ / "mol";
  std::string db_ = dir_ / "db.txt";
};

TEST_F(SimilarIndexRules, KeptForTheDatabaseStateExtendedByRegistrationRebuiltWhenDamaged) {
  size_t perceived = 99;
  EXPECT_EQ(Similar("CCCO", &perceived), (RankedList{{"propanol", 1.0}, {"butanol", 7.0 / 12}}));
  EXPECT_EQ(perceived, 0u);  // registration made the sound index, prints and all
  const std::optional<MappedSimilarIndex> kept = MapSimilarIndex(db_);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->stamp, StampOf(db_));

  // A registration extends the sound index: the next search sorts the prints
  // again and reads no MOL file.
  Put("pentanol",
      MolText("n", {"C", "C", "C", "C", "C", "O"}, {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}));
  Register();
  EXPECT_EQ(Similar("CCCCCO", &perceived)[0], (Ranked{"pentanol", 1.0}));
  EXPECT_EQ(perceived, 0u);

  // A deletion keeps the sound index in step: nothing read again either.
  RecordingSink ui;
  DeleteCompound(db_, mol_, "propanol.mol", ui);
  EXPECT_EQ(Similar("CCCO", &perceived),
            (RankedList{{"butanol", 7.0 / 12}, {"pentanol", 7.0 / 13}}));
  EXPECT_EQ(perceived, 0u);

  // A damaged file is made again, never trusted.
  const std::string path = *CachePathFor(kSimilarIndexKind, db_);
  std::string bytes = testing::ReadFile(path);
  bytes[bytes.size() / 2] ^= 0x40;
  testing::WriteFile(path, bytes);
  EXPECT_EQ(Similar("CCCCCO")[0], (Ranked{"pentanol", 1.0}));
  EXPECT_EQ(testing::ReadFile(path).size(), bytes.size());
  EXPECT_NE(testing::ReadFile(path), bytes);
}

TEST_F(SimilarIndexRules, AHitWhoseMolFileChangedIsScoredAsItIsNow) {
  SimilarState state;
  SoundState sound;
  RecordingSink ui;
  ASSERT_TRUE(PrepareSimilarIndex(state, sound, db_, mol_, ui));
  // butanol's file now holds benzene (the database unchanged): no longer a
  // hit of butanol's shape, and ranked as benzene where benzene is.
  Put("butanol",
      MolText("z", testing::Atoms(6), {{1, 2}, {2, 3, 2}, {3, 4}, {4, 5, 2}, {5, 6}, {6, 1, 2}}));
  std::filesystem::last_write_time(
      mol_ + "/butanol.mol",
      std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
  EXPECT_EQ(Search(state, chem::QueryForm::kSmiles, "CCCO", 0.3, 2),
            (RankedList{{"propanol", 1.0}}));
  EXPECT_EQ(Search(state, chem::QueryForm::kSmiles, "c1ccccc1", 0.5, 0),
            (RankedList{{"benzene", 1.0}, {"butanol", 1.0}}));
}

}  // namespace
}  // namespace vuduzez
