// Locks on a database shared by several processes, special files, and the
// replacement files written beside a database. Two locks taken through two
// opens conflict as they would between two processes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
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

// A killed append: the note its run wrote, and the file cut where the kill
// stopped the write (only ever at the end of a page of the file).
TEST(Append, OnlyTheKilledRunsOwnBytesAreCutAndOnlyWhileTheFileIsAsItLeftIt) {
  TempFolder dir;
  const std::string db = dir / "compounds.txt";
  const std::string note = db + ".vuduzez-append." + std::to_string(::geteuid());
  const off_t page = ::sysconf(_SC_PAGESIZE);
  // Records up to just before a page's end, then one that spans two more pages.
  std::string head;
  while (head.size() + kBenzene.size() < static_cast<size_t>(page) - 40) head += kBenzene;
  const std::string record = "long.mol\r\n999.99\r\nC99\r\n" + std::string(2 * page, 'C') + "\r\n";
  auto killed = [&](size_t written) {
    WriteFile(db, head);
    struct stat st;
    ::stat(db.c_str(), &st);
    WriteFile(note, AppendNoteText(st, static_cast<off_t>(head.size()), record));
    WriteFile(db, head + record.substr(0, written));
  };
  auto change = [&] { DatabaseLock lock(db, LockMode::kExclusive); };
  const size_t toPage = static_cast<size_t>(page) - head.size();

  // Stopped at the end of the first or second page: cut back, note gone.
  for (size_t written : {toPage, toPage + static_cast<size_t>(page)}) {
    killed(written);
    { DatabaseLock shared(db, LockMode::kShared); }  // a reader changes nothing
    EXPECT_EQ(ReadFile(db).size(), head.size() + written);
    change();
    EXPECT_EQ(ReadFile(db), head) << written;
    EXPECT_FALSE(std::filesystem::exists(note));
  }
  // Stale notes: the file is left exactly as it is.
  struct Case {
    const char* what;
    std::function<void()> after;  // what happened after the kill
  };
  const std::vector<Case> stale = {
      {"nothing written", [&] { killed(0); }},
      {"all written, killed at the note's removal", [&] { killed(record.size()); }},
      {"not at a page's end", [&] { killed(toPage + 7); }},
      {"another program appended a record and a blank line",
       [&] {
         killed(toPage);
         WriteFile(db, ReadFile(db) + "\r\n" + kEthanol + "\r\n");
       }},
      {"another program appended exactly to the page's end",
       [&] {
         killed(toPage);
         WriteFile(db, ReadFile(db) + std::string(static_cast<size_t>(page), '\n'));
       }},
      {"an edit in place of the bytes written",
       [&] {
         killed(toPage);
         std::string text = ReadFile(db);
         text[text.size() - 3] = 'N';
         WriteFile(db, text);
       }},
      {"the file was replaced",
       [&] {
         killed(toPage);
         // The old file stays linked under another name, so the new one
         // cannot get its inode number on any file system.
         const std::string text = ReadFile(db);
         std::filesystem::rename(db, dir / "old");
         WriteFile(db, text);
       }},
      {"a note cut short by the kill",
       [&] {
         killed(toPage);
         const std::string text = ReadFile(note);
         WriteFile(note, text.substr(0, text.size() - 6));
       }},
  };
  for (const Case& c : stale) {
    c.after();
    const std::string before = ReadFile(db);
    change();
    EXPECT_EQ(ReadFile(db), before) << c.what;
    EXPECT_FALSE(std::filesystem::exists(note)) << c.what;
  }

  // Another user's note (here: a note under another id) is neither trusted nor removed.
  killed(toPage);
  const std::string foreign = db + ".vuduzez-append." + std::to_string(::geteuid() + 1);
  std::filesystem::rename(note, foreign);
  change();
  EXPECT_EQ(ReadFile(db).size(), head.size() + toPage);
  EXPECT_TRUE(std::filesystem::exists(foreign));

  // An append that finishes leaves no note.
  WriteFile(db, kBenzene);
  {
    DatabaseLock lock(db, LockMode::kExclusive);
    AppendAll(lock.fd(), db, static_cast<off_t>(kBenzene.size()), kEthanol);
  }
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol);
  EXPECT_FALSE(std::filesystem::exists(note));
}

}  // namespace
}  // namespace vuduzez
