// Chain abbreviation rewrite: the replacement table on single lines and the
// rewrite of a whole database file.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/chains.h"
#include "platform/errors.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::string Repeat(const std::string& unit, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += unit;
  return s;
}

TEST(AbbreviateChains, LongRunsAreCutFromTheLeft) {
  EXPECT_EQ(AbbreviateChains(Repeat("C@", 6)), "X6");
  EXPECT_EQ(AbbreviateChains(Repeat("C@", 7)), "X6C@");
  EXPECT_EQ(AbbreviateChains(Repeat("C@", 8)), "X6X2");
  EXPECT_EQ(AbbreviateChains(Repeat("C@", 12)), "X6X6");
  EXPECT_EQ(AbbreviateChains(Repeat("C-", 11)), "Y6Y5");
  EXPECT_EQ(AbbreviateChains("C@C@C@6/C-C-C-C-N"), "X36/Y4N");
}

TEST(AbbreviateChains, MixedLoneAndTrailingRuns) {
  EXPECT_EQ(AbbreviateChains("C@C@C-C-"), "X2Y2");
  EXPECT_EQ(AbbreviateChains("C@N-C-O"), "C@N-C-O");
  EXPECT_EQ(AbbreviateChains("O-C-C-C-"), "O-Y3");
  EXPECT_EQ(AbbreviateChains("Cl-C-C-Br"), "Cl-Y2Br");
  EXPECT_EQ(AbbreviateChains(""), "");
}

TEST(AbbreviateChains, BlanksStayAndASecondRunChangesNothing) {
  const std::string once = AbbreviateChains("  C@C@C@C@C@C@C@C@C@6/C-C-C-O ");
  EXPECT_EQ(once, "  X6X36/Y3O ");
  EXPECT_EQ(AbbreviateChains(once), once);
}

class Rewrite : public ::testing::Test {
 protected:
  TempFolder dir;
  std::string db = dir / "compounds.txt";
  RecordingSink ui;
};

TEST_F(Rewrite, KeyLinesAloneAreRewrittenEveryLineWithCrLf) {
  // The name keeps naming its MOL file; a byte-order mark stays.
  WriteFile(db,
            "\xEF\xBB\xBF"
            "C-C-C-C-amine.mol\nC-C-\rC4H10\r\nC-C-C-C/C@C@C@C@C@C@6");
  EXPECT_EQ(RewriteChains(db, ui), 1);
  EXPECT_EQ(ReadFile(db),
            "\xEF\xBB\xBF"
            "C-C-C-C-amine.mol\r\nC-C-\r\nC4H10\r\nY3C/X66\r\n");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"変換をを終了しました"});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  const std::string once = ReadFile(db);
  RewriteChains(db, ui);
  EXPECT_EQ(ReadFile(db), once);
}

TEST_F(Rewrite, EmptyDatabaseStaysEmpty) {
  WriteFile(db, "");
  EXPECT_EQ(RewriteChains(db, ui), 0);
  EXPECT_EQ(ReadFile(db), "");
}

TEST_F(Rewrite, FailureLeavesTheDatabaseAndShowsNoFinish) {
  const std::string before = "a.mol\r\n1.00\r\nC2\r\nC-C-C-\r\n";
  WriteFile(db, before);
  EXPECT_THROW(RewriteChains(db, ui, [](ReplaceStep s) { return s == ReplaceStep::kWrite; }),
               RuntimeError);
  EXPECT_EQ(ReadFile(db), before);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_THROW(RewriteChains(dir / "missing.txt", ui), RuntimeError);
}

}  // namespace
}  // namespace vuduzez
