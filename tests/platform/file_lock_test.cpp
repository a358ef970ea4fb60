// Locks on a database shared by several processes, special files, and the
// replacement files written beside a database. Two locks taken through two
// opens conflict as they would between two processes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "database/database.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using namespace std::chrono_literals;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::string kBenzene = "benzene.mol\r\n78.11\r\nC6H6\r\nC@C@C@C@C@C@6\r\n";
const std::string kEthanol = "ethanol.mol\r\n46.07\r\nC2H6O\r\nC-C-O\r\n";

// The text of the exception f throws, empty when it throws none.
template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "";
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

TEST(DatabaseLock, ExclusiveShutsOutEveryoneForABoundedWaitAndSharedOnlyWriters) {
  TempFolder dir;
  const std::string db = dir / "compounds.txt";
  WriteFile(db, kBenzene);
  {
    DatabaseLock writer(db, LockMode::kExclusive);
    for (LockMode mode : {LockMode::kShared, LockMode::kExclusive}) {
      const auto start = std::chrono::steady_clock::now();
      EXPECT_TRUE(StartsWith(ErrorOf([&] { DatabaseLock(db, mode, 100ms); }), kDatabaseBusy));
      EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    }
  }
  DatabaseLock reader1(db, LockMode::kShared, 0ms);
  DatabaseLock reader2(db, LockMode::kShared, 0ms);
  EXPECT_EQ(reader2.ReadAll(), kBenzene);
  EXPECT_TRUE(
      StartsWith(ErrorOf([&] { DatabaseLock(db, LockMode::kExclusive, 50ms); }), kDatabaseBusy));
}

TEST(DatabaseLock, AWaiterFollowsTheFileThatReplacedTheOneItWaitedOn) {
  TempFolder dir;
  const std::string db = dir / "compounds.txt";
  WriteFile(db, kBenzene);
  std::string error = "not run";
  std::optional<DatabaseLock> writer;
  writer.emplace(db, LockMode::kExclusive);
  std::thread appender([&] {
    error = ErrorOf([&] { AppendRecord(db, "ethanol.mol", "46.07", "C2H6O", "C-C-O"); });
  });
  std::this_thread::sleep_for(100ms);  // the appender now waits on the old file
  ReplaceFileAtomically(db, kBenzene + kBenzene);
  writer.reset();
  appender.join();
  EXPECT_EQ(error, "");
  EXPECT_EQ(ReadFile(db), kBenzene + kBenzene + kEthanol);
}

TEST(SpecialFiles, FifosDevicesAndFoldersAreRefusedAtOnce) {
  TempFolder dir;
  const std::string fifo = dir / "fifo.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir.path(), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(StartsWith(ErrorOf([&] { ReadFileBytes(path); }), kNotRegularFile));
    EXPECT_TRUE(
        StartsWith(ErrorOf([&] { DatabaseLock(path, LockMode::kShared); }), kNotRegularFile));
    EXPECT_TRUE(
        StartsWith(ErrorOf([&] { DatabaseLock(path, LockMode::kExclusive); }), kNotRegularFile));
  }
}

TEST(Replacement, OnlyOurOwnLeftoversAreRemoved) {
  TempFolder dir;
  const std::string db = dir / "compounds.txt";
  WriteFile(db, kBenzene + kEthanol);
  WriteFile(dir / "victim.txt", "someone else's file");
  WriteFile(dir / "compounds.txt.vuduzez-new-Ab3xY9", "a killed run's copy");
  WriteFile(dir / "compounds.txt.vuduzez-new-short", "not our pattern");
  WriteFile(dir / "compounds.txt.backup", "the user's backup");
  std::filesystem::create_symlink(dir / "victim.txt", dir / "compounds.txt.vuduzez-new-LINKED");
  EXPECT_FALSE(IsReplacementName("other.txt.vuduzez-new-Ab3xY9", "compounds.txt"));

  EXPECT_EQ(DeleteRecords(db, "benzene.mol"), 1);
  EXPECT_EQ(ReadFile(db), kEthanol);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(e.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"compounds.txt", "compounds.txt.backup",
                                            "compounds.txt.vuduzez-new-LINKED",
                                            "compounds.txt.vuduzez-new-short", "victim.txt"}));
  EXPECT_EQ(ReadFile(dir / "victim.txt"), "someone else's file");
}

TEST(Append, AWriteAKillCutShortIsUndoneByTheNextChangeAndAWholeOneKept) {
  TempFolder dir;
  const std::string db = dir / "compounds.txt";
  const std::string note = db + ".vuduzez-append";
  auto noteFor = [&](off_t size) {
    struct stat st;
    ::stat(db.c_str(), &st);
    WriteFile(note, std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " +
                        std::to_string(size) + "\n");
  };
  const off_t whole = static_cast<off_t>(kBenzene.size());

  // The killed append wrote part of its record: cut back where it began.
  WriteFile(db, kBenzene + kEthanol.substr(0, 20));
  noteFor(whole);
  { DatabaseLock shared(db, LockMode::kShared); }  // a reader changes nothing
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol.substr(0, 20));
  { DatabaseLock lock(db, LockMode::kExclusive); }
  EXPECT_EQ(ReadFile(db), kBenzene);
  EXPECT_FALSE(std::filesystem::exists(note));

  // It wrote all of it before the kill: the records stay.
  WriteFile(db, kBenzene + kEthanol);
  noteFor(whole);
  { DatabaseLock lock(db, LockMode::kExclusive); }
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol);

  // A note of another file (the database was replaced since) decides nothing.
  WriteFile(db, kBenzene + kEthanol.substr(0, 20));
  WriteFile(note, "1 2 0\n");
  { DatabaseLock lock(db, LockMode::kExclusive); }
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol.substr(0, 20));
  EXPECT_FALSE(std::filesystem::exists(note));

  // An append that finishes leaves no note.
  WriteFile(db, kBenzene);
  {
    DatabaseLock lock(db, LockMode::kExclusive);
    AppendAll(lock.fd(), db, whole, kEthanol);
  }
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol);
  EXPECT_FALSE(std::filesystem::exists(note));
}

}  // namespace
}  // namespace vuduzez
