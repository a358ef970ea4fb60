// The compound database file: name list, append, find, delete and the atomic
// replacement behind deletion, on temporary folders.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "database/chains.h"
#include "database/database.h"
#include "database/record_store.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::ModeOf;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::string kBenzene = "benzene.mol\r\n78.11\r\nC6H6\r\nC@C@C@C@C@C@6\r\n";
const std::string kPhenol = "phenol.mol\r\n94.11\r\nC6H6O\r\nC@C@C@C@C@C-O/O-C@C@C@C@C@C@6\r\n";
const std::string kEthanol = "ethanol.mol\r\n46.07\r\nC2H6O\r\nC-C-O\r\n";

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Database : public ::testing::Test {
 protected:
  void SetUp() override { db = dir / "compounds.txt"; }
  TempFolder dir;
  std::string db;
};

TEST_F(Database, EmptyFileHasNoNamesAndTakesAFirstRecord) {
  WriteFile(db, "");
  EXPECT_TRUE(LoadNameList(db).empty());
  AppendRecord(db, "benzene.mol", "78.11", "C6H6", "C@C@C@C@C@C@6");
  EXPECT_EQ(ReadFile(db), kBenzene);
  EXPECT_EQ(LoadNameList(db), std::vector<std::string>{"benzene.mol"});
}

TEST_F(Database, NameListInFileOrderWhateverTheLineEnds) {
  const std::string crlf = kBenzene + kPhenol + kEthanol;
  std::string lf = crlf, cr = crlf;
  std::erase(lf, '\r');
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  cr.erase(std::unique(cr.begin(), cr.end(), [](char a, char b) { return a == '\r' && b == '\r'; }),
           cr.end());
  const std::vector<std::string> expected{"benzene.mol", "phenol.mol", "ethanol.mol"};
  for (const std::string& text : {crlf, lf, cr}) {
    WriteFile(db, text);
    EXPECT_EQ(LoadNameList(db), expected);
  }
}

TEST_F(Database, RecordsWithEmptyFormulaAndKeyAndBlankLinesBetweenRecords) {
  // A structure without atoms has empty formula and key lines; a blank line
  // where a record starts is not a record.
  WriteFile(db, "empty.mol\r\n0.00\r\n\r\n\r\n\r\n" + kBenzene + "\r\n");
  EXPECT_EQ(LoadNameList(db), (std::vector<std::string>{"empty.mol", "benzene.mol"}));
  auto records = ParseRecords(ReadFile(db));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].formula, "");
  EXPECT_EQ(records[1].key, "C@C@C@C@C@C@6");
}

TEST_F(Database, AppendNeverCreatesTheFile) {
  EXPECT_THROW(AppendRecord(db, "a.mol", "1.00", "C", "C"), RuntimeError);
  EXPECT_FALSE(std::filesystem::exists(db));
}

TEST_F(Database, FailedAppendLeavesNoPartialRecord) {
  WriteFile(db, kBenzene);
  // A file size limit just past the current file makes the write stop part-way.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = kBenzene.size() + 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(AppendRecord(db, "phenol.mol", "94.11", "C6H6O", std::string(100, 'C')),
               RuntimeError);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(ReadFile(db), kBenzene);
}

TEST_F(Database, FindComparesTrimmedNameLinesOnly) {
  WriteFile(db, "benzene.mol  \r\n78.11\r\nC6H6\r\nbenzene.mol\r\n" + kPhenol);
  auto found = FindRegisteredLine(db, "benzene.mol");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, "benzene.mol  ");                         // as read, blanks included
  EXPECT_FALSE(FindRegisteredLine(db, "C6H6O").has_value());  // a formula line
  EXPECT_FALSE(FindRegisteredLine(db, "94.11").has_value());  // a weight line
  EXPECT_FALSE(FindRegisteredLine(db, "PHENOL.MOL").has_value());
  EXPECT_TRUE(FindRegisteredLine(db, "phenol.mol").has_value());
}

TEST_F(Database, DeleteRemovesEveryRecordOfTheNameAndOnlyOnNameLines) {
  // The key line of the last record equals the name: it must not start a drop.
  WriteFile(db, kPhenol + kBenzene + kPhenol + "ethanol.mol\r\n46.07\r\nC2H6O\r\nphenol.mol\r\n");
  EXPECT_EQ(DeleteRecords(db, "phenol.mol"), 2);
  EXPECT_EQ(ReadFile(db), kBenzene + "ethanol.mol\r\n46.07\r\nC2H6O\r\nphenol.mol\r\n");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"compounds.txt"});
}

TEST_F(Database, DeleteOfAnAbsentNameOnlyTrimsLines) {
  WriteFile(db, "  benzene.mol \n78.11\t\nC6H6\nC@C@C@C@C@C@6   \n");
  EXPECT_EQ(DeleteRecords(db, "toluene.mol"), 0);
  EXPECT_EQ(ReadFile(db), kBenzene);
}

TEST_F(Database, DeleteJapaneseNameAndKeepAShortLastRecord) {
  const std::string name = *Utf8ToAnsi("ベンゼン.mol");
  WriteFile(db, name + "\r\n78.11\r\nC6H6\r\nC@C@C@C@C@C@6\r\n" + kEthanol + "cut.mol\r\n12.01");
  EXPECT_EQ(DeleteRecords(db, name), 1);
  EXPECT_EQ(ReadFile(db), kEthanol + "cut.mol\r\n12.01\r\n");
}

TEST_F(Database, ReplacementKeepsPermissionsAndFollowsALink) {
  WriteFile(db, kBenzene + kPhenol);
  ASSERT_EQ(::chmod(db.c_str(), 0640), 0);
  const std::string link = dir / "link.txt";
  std::filesystem::create_symlink(db, link);
  DeleteRecords(link, "benzene.mol");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(db), kPhenol);
  EXPECT_EQ(ModeOf(db), 0640u);
}

TEST_F(Database, FailureAtAnyStepOfTheReplacementLeavesTheOldDatabaseWhole) {
  const std::string before = kBenzene + kPhenol + kEthanol;
  for (ReplaceStep failing :
       {ReplaceStep::kCreate, ReplaceStep::kWrite, ReplaceStep::kSync, ReplaceStep::kRename}) {
    SCOPED_TRACE(static_cast<int>(failing));
    WriteFile(db, before);
    ASSERT_EQ(::chmod(db.c_str(), 0644), 0);
    EXPECT_THROW(DeleteRecords(db, "phenol.mol", [&](ReplaceStep step) { return step == failing; }),
                 RuntimeError);
    EXPECT_EQ(ReadFile(db), before);
    EXPECT_EQ(ModeOf(db), 0644u);
    // Nothing half-written is left beside the database.
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"compounds.txt"});
  }
}

TEST_F(Database, RealWriteErrorsLeaveTheOldDatabaseWhole) {
  const std::string before = kBenzene + kPhenol + kEthanol;
  WriteFile(db, before);
  // A file size limit below the new content: writing beside the database fails.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(ReplaceFileAtomically(db, kBenzene + kPhenol), RuntimeError);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(ReadFile(db), before);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"compounds.txt"});
}

TEST_F(Database, MissingDatabaseIsAFileErrorForEveryReader) {
  EXPECT_THROW(LoadNameList(db), RuntimeError);
  EXPECT_THROW(FindRegisteredLine(db, "a.mol"), RuntimeError);
  EXPECT_THROW(DeleteRecords(db, "a.mol"), RuntimeError);
  EXPECT_FALSE(std::filesystem::exists(db));
}

TEST_F(Database, ADamagedEndRefusesAppendsSayingWhereAndOtherCommandsStillWork) {
  const std::string cut = "cut.mol\r\n12.01\r\n";  // two lines of four
  const std::string noEnd = kBenzene.substr(0, kBenzene.size() - 2);
  struct Case {
    std::string text;
    std::string where;
  } cases[] = {
      {kEthanol + cut, "2番目のレコード（バイト位置" + std::to_string(kEthanol.size()) + "から）"},
      {kEthanol + "name.mol", "2番目のレコード（バイト位置" + std::to_string(kEthanol.size())},
      {kEthanol + noEnd,
       "2番目のレコードの終わり、バイト位置" + std::to_string(kEthanol.size() + noEnd.size())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    WriteFile(db, c.text);
    try {
      AppendRecord(db, "phenol.mol", "94.11", "C6H6O", "O-C");
      ADD_FAILURE() << "appended";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.where), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(db), c.text);
    EXPECT_EQ(LoadNameList(db).size(), 2u);
    EXPECT_EQ(DeleteRecords(db, "ethanol.mol"), 1);
  }
}

TEST_F(Database, AReadOnlyFileIsRefusedByEveryChange) {
  WriteFile(db, kBenzene + kEthanol);
  ASSERT_EQ(::chmod(db.c_str(), 0444), 0);
  RecordingSink ui;
  for (const auto& change : std::vector<std::function<void()>>{
           [&] { AppendRecord(db, "phenol.mol", "94.11", "C6H6O", "O-C"); },
           [&] { DeleteRecords(db, "benzene.mol"); },
           [&] { RewriteChains(db, ui); },
       }) {
    try {
      change();
      ADD_FAILURE() << "changed";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(kDatabaseReadOnly, 0), 0u) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol);
  EXPECT_EQ(ModeOf(db), 0444u);
  EXPECT_EQ(LoadNameList(db).size(), 2u);
}

TEST_F(Database, TheStoresDuplicateTestSeesWhatOtherWritersDid) {
  WriteFile(db, kBenzene);
  RecordStore store(db);
  store.Load();
  EXPECT_NE(store.Registered("benzene.mol"), nullptr);
  const CompoundRecord ethanol{"ethanol.mol", "46.07", "C2H6O", "C-C-O"};

  // Another program appends the name, then deletes it again.
  AppendRecord(db, ethanol);
  EXPECT_EQ(store.AppendIfNew(ethanol), std::optional<std::string>("ethanol.mol"));
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol);
  DeleteRecords(db, "ethanol.mol");
  EXPECT_EQ(store.AppendIfNew(ethanol), std::nullopt);
  EXPECT_EQ(ReadFile(db), kBenzene + kEthanol);
  EXPECT_EQ(store.AppendIfNew({"ethanol.mol ", "", "", ""}),
            std::optional<std::string>("ethanol.mol"));
  store.Flush();
}

// Windows editors start a text file with a UTF-8 byte-order mark: no part of
// the first name for any reader, and kept in the file.
TEST_F(Database, AByteOrderMarkAtTheStartIsPassedOverAndKept) {
  const std::string bom = "\xEF\xBB\xBF";
  WriteFile(db, bom + kBenzene + kEthanol);
  EXPECT_EQ(LoadNameList(db), (std::vector<std::string>{"benzene.mol", "ethanol.mol"}));
  EXPECT_EQ(FindRegisteredLine(db, "benzene.mol"), std::optional<std::string>("benzene.mol"));
  RecordStore store(db);
  EXPECT_EQ(store.AppendIfNew({"benzene.mol", "78.11", "C6H6", "C@C@C@C@C@C@6"}),
            std::optional<std::string>("benzene.mol"));
  store.Flush();
  EXPECT_EQ(DeleteRecords(db, "benzene.mol"), 1);
  EXPECT_EQ(ReadFile(db), bom + kEthanol);
  EXPECT_EQ(DeleteRecords(db, "ethanol.mol"), 1);
  EXPECT_EQ(ReadFile(db), bom);
  // A file of the mark alone is an empty database, and takes a record.
  EXPECT_TRUE(LoadNameList(db).empty());
  AppendRecord(db, "benzene.mol", "78.11", "C6H6", "C@C@C@C@C@C@6");
  EXPECT_EQ(ReadFile(db), bom + kBenzene);
  EXPECT_EQ(ParseRecords(ReadFile(db)).front().name, "benzene.mol");
  // Only at the start: elsewhere the bytes are a name's.
  WriteFile(db, kEthanol + bom + kBenzene);
  EXPECT_EQ(LoadNameList(db), (std::vector<std::string>{"ethanol.mol", bom + "benzene.mol"}));
}

}  // namespace
}  // namespace vuduzez
