// The screen index in the cache folder: used only for the database state it
// was made from, rebuilt otherwise, never trusted when damaged or foreign.
#include "search/screen_index.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/messages.h"
#include "platform/notice.h"
#include "search/search.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::string kRecords =
    "benzene.mol\r\n78.11\r\nC6H6\r\nC@C@C@C@C@C@6\r\n"
    "ethanol.mol\r\n46.07\r\nC2H6O\r\nC-C-O\r\n";

class ScreenIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CACHE_HOME")) saved_ = old;
    setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    WriteFile(db_, kRecords);
  }
  void TearDown() override {
    if (saved_) {
      setenv("XDG_CACHE_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }
  std::optional<std::vector<KeySignature>> Cached() {
    SearchState state;
    LoadSearchText(state, ReadFile(db_));
    return ReadScreenIndex(db_, StampOf(db_), state.records);
  }
  std::string CacheFile() { return *CachePathFor(kScreenIndexKind, db_); }

  TempFolder dir_;
  std::string db_ = dir_ / "db.txt";
  std::optional<std::string> saved_;
};

TEST_F(ScreenIndex, ValidOnlyForTheStateItWasMadeFrom) {
  EXPECT_FALSE(Cached());
  SearchState state;
  LoadSearchDataStamped(state, db_);  // builds it
  ASSERT_TRUE(Cached());

  // Another modification time, same bytes: stale.
  const FileStamp before = StampOf(db_);
  struct timespec times[2] = {{0, UTIME_OMIT}, {before.mtimeNs / 1000000000 + 5, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, db_.c_str(), times, 0), 0);
  EXPECT_FALSE(Cached());
  LoadSearchDataStamped(state, db_);  // rebuilt for the new state
  EXPECT_TRUE(Cached());

  // Another file under the same name (another identity), same size and time.
  const FileStamp now = StampOf(db_);
  const std::string other = dir_ / "other.txt";
  WriteFile(other, kRecords);
  struct timespec same[2] = {{0, UTIME_OMIT}, {now.mtimeNs / 1000000000, now.mtimeNs % 1000000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), same, 0), 0);
  std::filesystem::rename(other, db_);
  EXPECT_FALSE(Cached());
  LoadSearchDataStamped(state, db_);

  // The same size and modification time, other bytes (an edit in place whose
  // time was put back, as a restore or cp -p does): stale by its change time.
  LoadSearchDataStamped(state, db_);
  ASSERT_TRUE(Cached());
  {
    struct stat st;
    ASSERT_EQ(::stat(db_.c_str(), &st), 0);
    std::string text = kRecords;
    text.replace(text.find("C-C-O"), 5, "C-C-N");
    const int fd = ::open(db_.c_str(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    ::close(fd);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, db_.c_str(), times, 0), 0);
  }
  EXPECT_FALSE(Cached());
  LoadSearchDataStamped(state, db_);
  Query amine;
  amine.codes = {"C-N"};
  EXPECT_EQ(RunScreening(state, amine), 1);

  // Another size: an appended record is searched, never screened out by
  // the old signatures.
  WriteFile(db_, kRecords + "phenol.mol\r\n94.11\r\nC6H6O\r\nO-C@C@C@C@C@C@6\r\n");
  EXPECT_FALSE(Cached());
  LoadSearchDataStamped(state, db_);
  Query q;
  q.codes = {"O-C@"};
  EXPECT_EQ(RunScreening(state, q), 1);
  EXPECT_TRUE(Cached());
}

TEST_F(ScreenIndex, TruncatedOrForeignCacheFilesAreRebuilt) {
  SearchState state;
  LoadSearchDataStamped(state, db_);
  const std::string good = ReadFile(CacheFile());
  ASSERT_FALSE(good.empty());

  for (const std::string& bad : {good.substr(0, good.size() / 2), good.substr(0, 3),
                                 std::string("not a cache file"), std::string()}) {
    WriteFile(CacheFile(), bad);
    EXPECT_FALSE(Cached());
    LoadSearchDataStamped(state, db_);
    EXPECT_EQ(ReadFile(CacheFile()), good);
  }
  // A flipped bit in the signatures: the checksum refuses it.
  std::string flipped = good;
  flipped[flipped.size() - 40] ^= 1;
  WriteFile(CacheFile(), flipped);
  EXPECT_FALSE(Cached());

  // The index of another database, copied over this one's: refused.
  const std::string otherDb = dir_ / "other.txt";
  WriteFile(otherDb, kRecords);
  LoadSearchDataStamped(state, otherDb);
  std::filesystem::copy_file(*CachePathFor(kScreenIndexKind, otherDb), CacheFile(),
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_FALSE(Cached());

  // A cache folder that cannot be had: the search works all the same.
  setenv("XDG_CACHE_HOME", "relative/not/allowed", 1);
  unsetenv("HOME");
  LoadSearchDataStamped(state, db_);
  EXPECT_EQ(state.signatures.size(), 2u);
}

// An index that screens out every record, as someone else could plant it.
void PlantEmptyIndex(const std::string& db, const std::vector<mldata>& records) {
  ASSERT_TRUE(WriteScreenIndex(db, StampOf(db), records,
                               std::vector<KeySignature>(records.size(), KeySignature{})));
}

TEST_F(ScreenIndex, ACacheFolderOrFileOthersCouldWriteIsNotTrusted) {
  SearchState state;
  LoadSearchDataStamped(state, db_);
  const std::string folder = dir_ / "cache/vuduzez";
  Query benzene;
  benzene.codes = {"C@C@C@C@C@C@6"};
  auto search = [&](RecordingSink& sink) {
    NoticeScope scope(sink);
    LoadSearchDataStamped(state, db_);
    return RunScreening(state, benzene);
  };
  {
    RecordingSink sink;
    PlantEmptyIndex(db_, state.records);
    EXPECT_EQ(search(sink), 0);  // the planted index works when it is trusted
  }
  // A folder others may write: not used at all, said once.
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  {
    RecordingSink sink;
    EXPECT_EQ(search(sink), 1);
    EXPECT_EQ(sink.notices, std::vector<std::string>{CacheFolderWritableMessage(folder)});
  }
  ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
  // A file others may write in the user's own folder: removed and made again.
  ASSERT_EQ(::chmod(CacheFile().c_str(), 0666), 0);
  {
    RecordingSink sink;
    EXPECT_EQ(search(sink), 1);
    EXPECT_EQ(sink.notices, std::vector<std::string>{CacheFileUntrustedMessage(CacheFile())});
    EXPECT_EQ(testing::ModeOf(CacheFile()), 0600u);
  }
  // A folder of another user (only root can make one here).
  if (::geteuid() != 0) GTEST_SKIP() << "another user's folder needs root";
  PlantEmptyIndex(db_, state.records);
  ASSERT_EQ(::chown(folder.c_str(), 4242, 4242), 0);
  RecordingSink sink;
  EXPECT_EQ(search(sink), 1);
  EXPECT_EQ(sink.notices, std::vector<std::string>{CacheFolderNotOwnMessage(folder)});
}

TEST_F(ScreenIndex, AnAppendExtendsAnIndexValidBeforeItAndNoOther) {
  const std::string added = "phenol.mol\r\n94.11\r\nC6H6O\r\nC@C@C@C@C@C@6/C-O\r\n";
  const std::vector<ScreenEntry> keys = {ScreenEntryOf("C@C@C@C@C@C@6/C-O")};
  auto append = [&] {
    const FileStamp before = StampOf(db_);
    WriteFile(db_, ReadFile(db_) + added);  // in place: the same file grown
    AppendToScreenIndex(db_, before, added.size(), keys);
  };
  SearchState state;
  LoadSearchDataStamped(state, db_);
  append();
  std::optional<std::vector<KeySignature>> index = Cached();
  ASSERT_TRUE(index);
  ASSERT_EQ(index->size(), 3u);
  LoadSearchText(state, ReadFile(db_));  // signatures computed from the keys
  EXPECT_EQ(std::memcmp(index->data(), state.signatures.data(), 3 * sizeof(KeySignature)), 0);

  // Stale before the append: nothing written, the next load rebuilds it.
  WriteFile(db_, kRecords + "x.mol\r\n1\r\nC\r\nC\r\n");
  append();
  EXPECT_FALSE(Cached());
  // Another program appended too (more bytes than ours): not extended.
  LoadSearchDataStamped(state, db_);
  const FileStamp before = StampOf(db_);
  WriteFile(db_, ReadFile(db_) + added + added);
  AppendToScreenIndex(db_, before, added.size(), keys);
  EXPECT_FALSE(Cached());
  // An empty database needs no earlier index.
  WriteFile(db_, "");
  append();
  index = Cached();
  ASSERT_TRUE(index);
  EXPECT_EQ(index->size(), 1u);
}

}  // namespace
}  // namespace vuduzez
