// The exact search end to end on a small workspace: screened hits confirmed
// atom by atom, unconfirmed records named, and the rules of the connection
// cache (used while current, lined up again when stale, rebuilt when damaged,
// an edited MOL file read again, registration and deletion keeping it current).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "database/database.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "register/batch.h"
#include "register/delete.h"
#include "search/exact_search.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TempFolder;
using testing::WriteFile;

const std::string kKetone = MolText("ketone", {"C", "C", "O", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}});

class ExactSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CACHE_HOME");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    std::filesystem::create_directory(mol_);
    WriteFile(db_, "");
    Put("acetone", kKetone);
    Put("ester", MolText("ester", {"C", "C", "C", "O", "O", "C", "C"},
                         {{1, 2}, {2, 3}, {3, 4, 2}, {3, 5}, {5, 6}, {6, 7}}));
    Put("acid", MolText("acid", {"C", "C", "O", "O", "C"}, {{5, 1}, {1, 2}, {2, 3, 2}, {2, 4}}));
    Put("amide", MolText("amide", {"C", "C", "O", "N", "C"}, {{5, 1}, {1, 2}, {2, 3, 2}, {2, 4}}));
    Put("butanone",
        MolText("butanone", {"C", "C", "O", "C", "C"}, {{1, 2}, {2, 3, 2}, {2, 4}, {4, 5}}));
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

  // A fresh load and search with the ketone query; progress counts the MOL
  // files read for the tables.
  struct Outcome {
    std::vector<std::string> hits;
    int32_t screened = 0;
    std::vector<std::string> unconfirmed;
    size_t built = 0;
  };
  Outcome Search(const std::string& queryText = kKetone) {
    SearchState state;
    ExactState exact;
    LoadSearchDataStamped(state, exact, db_);
    Molecule q;
    RecordingSink ui;
    EXPECT_TRUE(ReadMolText(q, queryText, ui));
    CalcFormulaWeight(q);
    EXPECT_TRUE(MakeStructureKey(q, ui));
    RunScreening(state, MakeQuery(q));
    const ExactResult r = ConfirmHits(state, exact, MakeSubstructureQuery(q), mol_, ui);
    Outcome o;
    o.hits = state.hitnames;
    o.screened = r.screened;
    for (const auto& u : r.unconfirmed) o.unconfirmed.emplace_back(state.records[u.row].name);
    o.built = ui.progress.size();
    return o;
  }

  TempFolder dir_;
  std::string mol_ = dir_ / "mol";
  std::string db_ = dir_ / "db.txt";
  std::optional<std::string> saved_;
};

TEST_F(ExactSearch, ScreenKeepsEstersAcidsAndAmidesConfirmationDropsThem) {
  const Outcome o = Search();
  EXPECT_EQ(o.screened, 5);
  EXPECT_EQ(o.hits, (std::vector<std::string>{"acetone", "butanone"}));
  EXPECT_TRUE(o.unconfirmed.empty());
}

TEST_F(ExactSearch, RecordsWithoutAUsableMolFileAreUnconfirmedNotDropped) {
  std::filesystem::remove(mol_ + "/butanone.mol");
  Put("acid", "not a MOL file\r\n\r\n\r\n  3  2  0  0  0  0  0  0  0  0999 V3000\r\n");
  const Outcome o = Search();
  EXPECT_EQ(o.hits, std::vector<std::string>{"acetone"});
  EXPECT_EQ(o.unconfirmed, (std::vector<std::string>{"acid", "butanone"}));
}

TEST_F(ExactSearch, RegistrationKeepsTheCacheCurrent) {
  // Registration built the cache: the search reads no MOL file.
  EXPECT_EQ(Search().built, 0u);
  auto cache = ReadConnectionCache(db_);
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->stamp, StampOf(db_));
  EXPECT_EQ(cache->entries.size(), 5u);
  // A private folder, and nothing left of the writes but the caches
  // themselves (connection tables, screen index).
  EXPECT_EQ(testing::ModeOf(dir_ / "cache/vuduzez"), 0700u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "cache/vuduzez"), {}), 2);
  // A second batch adds its records; deletion removes one.
  Put("pentanone",
      MolText("p", {"C", "C", "C", "O", "C", "C"}, {{1, 2}, {2, 3}, {3, 4, 2}, {3, 5}, {5, 6}}));
  Register();
  RecordingSink ui;
  DeleteCompound(db_, "acid.mol", ui);
  cache = ReadConnectionCache(db_);
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->stamp, StampOf(db_));
  EXPECT_EQ(cache->entries.size(), 5u);
  const Outcome o = Search();
  EXPECT_EQ(o.built, 0u);
  EXPECT_EQ(o.hits, (std::vector<std::string>{"acetone", "butanone", "pentanone"}));
}

TEST_F(ExactSearch, AStaleCacheIsLinedUpAgainAndOnlyNewRecordsAreRead) {
  // Records appended by hand (another program): the stamp no longer matches.
  Put("zketone", kKetone);
  AppendRecord(db_, "zketone.mol", "58.08", "C3H6O", "C-C=O/C-C-C/O=C-C");
  Outcome o = Search();
  EXPECT_EQ(o.built, 1u);
  EXPECT_EQ(o.hits, (std::vector<std::string>{"acetone", "butanone", "zketone"}));
  EXPECT_EQ(ReadConnectionCache(db_)->stamp, StampOf(db_));
  // A new modification time alone: nothing to read, the stamp is renewed.
  struct timespec times[2] = {{0, UTIME_OMIT}, {1000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, db_.c_str(), times, 0), 0);
  EXPECT_EQ(Search().built, 0u);
  EXPECT_EQ(ReadConnectionCache(db_)->stamp, StampOf(db_));
}

TEST_F(ExactSearch, ADamagedOrForeignCacheIsRebuiltNeverTrusted) {
  const std::string path = *CachePathFor(kConnectionCacheKind, db_);
  std::string bytes = testing::ReadFile(path);
  ASSERT_GT(bytes.size(), 100u);
  // Cut short, one byte changed, empty: each is rebuilt from the MOL files.
  for (int damage = 0; damage < 3; ++damage) {
    std::string bad = bytes;
    if (damage == 0) bad.resize(bad.size() / 2);
    if (damage == 1) bad[bad.size() / 2] ^= 0x20;
    if (damage == 2) bad.clear();
    WriteFile(path, bad);
    EXPECT_FALSE(ReadConnectionCache(db_)) << damage;
    EXPECT_EQ(Search().built, 5u) << damage;
    EXPECT_TRUE(ReadConnectionCache(db_)) << damage;
  }
  // Another database's cache under this database's name.
  const std::string other = dir_ / "other.txt";
  WriteFile(other, testing::ReadFile(db_));
  WriteFile(*CachePathFor(kConnectionCacheKind, other), testing::ReadFile(path));
  EXPECT_FALSE(ReadConnectionCache(other));
}

TEST_F(ExactSearch, AStoppedRebuildLeavesTheRestForTheSearch) {
  std::filesystem::remove(*CachePathFor(kConnectionCacheKind, db_));
  SearchState state;
  ExactState exact;
  LoadSearchDataStamped(state, exact, db_);
  RecordingSink stop;
  stop.stopRequested = true;
  PrepareConnectionTables(state, exact, mol_, stop);
  EXPECT_TRUE(stop.progress.empty());
  // Nothing was read, yet the search reads what it needs and finds the same.
  EXPECT_EQ(Search().hits, (std::vector<std::string>{"acetone", "butanone"}));
}

TEST_F(ExactSearch, AnEditedMolFileIsReadAgain) {
  EXPECT_EQ(Search().hits, (std::vector<std::string>{"acetone", "butanone"}));
  // acetone.mol now holds an ester; the database record still says ketone.
  Put("acetone",
      MolText("acetone", {"C", "C", "O", "O", "C"}, {{5, 1}, {1, 2}, {2, 3, 2}, {2, 4}}));
  EXPECT_EQ(Search().hits, std::vector<std::string>{"butanone"});
  // And the cache keeps what was read.
  const auto cache = ReadConnectionCache(db_);
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->entries[0].mol, StampOf(mol_ + "/acetone.mol"));

  // butanone.mol edited in place to an imine of the same size, its
  // modification time put back (a restore, cp -p): read again all the same.
  const std::string path = mol_ + "/butanone.mol";
  std::string text = testing::ReadFile(path);
  const size_t oxygen = text.find(" O ");
  ASSERT_NE(oxygen, std::string::npos);
  text[oxygen + 1] = 'N';
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_EQ(::pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
  ::close(fd);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_TRUE(Search().hits.empty());
}

TEST(ConnectionTable, ParseRefusesBytesThatAreNoTable) {
  Molecule mol;
  RecordingSink ui;
  ASSERT_TRUE(ReadMolText(mol, kKetone, ui));
  const std::string table = BuildConnectionTable(mol);
  CtView view;
  ASSERT_TRUE(view.Parse(table));
  EXPECT_EQ(view.atoms(), 4);
  EXPECT_EQ(view.bonds(), 3);
  EXPECT_FALSE(view.Parse(table.substr(0, table.size() - 1)));
  std::string bad = table;
  bad[bad.size() - 4] = 9;  // a neighbour beyond the atoms
  EXPECT_FALSE(view.Parse(bad));
  EXPECT_FALSE(view.Parse(""));
}

}  // namespace
}  // namespace vuduzez
