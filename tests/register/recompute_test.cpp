// Recomputing an existing database: the lines the present rules make
// differently change, everything else stays byte for byte.
#include "register/recompute.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errors.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

TEST(Recompute, ChangesWhatThePresentRulesMakeDifferentlyAndKeepsTheRest) {
  TempFolder dir;
  std::filesystem::create_directory(dir / "mol");
  // Acetate with its charge in M  CHG, stored as the old rules read it.
  std::string acetate = MolText("acetate", {"C", "C", "O", "O"}, {{1, 2}, {2, 3, 2}, {2, 4}});
  acetate.insert(acetate.rfind("M  END"), "M  CHG  1   4  -1\r\n");
  WriteFile(dir / "mol/acetate.mol", acetate);
  // Benzene with aromatic bonds, keyed by the old rules as CCCCCC6.
  WriteFile(dir / "mol/benzene.mol",
            MolText("benzene", testing::Atoms(6),
                    {{1, 2, 4}, {2, 3, 4}, {3, 4, 4}, {4, 5, 4}, {5, 6, 4}, {6, 1, 4}}));
  WriteFile(dir / "mol/ethanol.mol", MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}));
  WriteFile(dir / "mol/label.mol", MolText("label", {"C", "X"}, {{1, 2}}));
  const std::string before =
      "acetate.mol\r\n60.05\r\nC2H4O2\r\nC-C=O/C-C-O/O=C-C/O=C-O/O-C-C/O-C=O\r\n"
      "benzene.mol\r\n72.06\r\nC6\r\nCCCCCC6\r\n"
      "\r\n"  // a blank line between records stays
      "ethanol.mol\n46.07\nC2H6O\nC-C-O/O-C-C\n"
      "gone.mol\r\n1.00\r\nC\r\n\r\n"
      "label.mol\r\n24.02\r\nC2\r\nC-X/X-C\r\n";
  WriteFile(dir / "db.txt", before);

  RecordingSink sink;
  RecomputeSummary s = RecomputeRecords(dir / "db.txt", dir / "mol", false, sink);
  EXPECT_EQ(s.records, 5);
  ASSERT_EQ(s.changed.size(), 2u);
  EXPECT_EQ(s.changed[0].nameLine, "acetate.mol");
  EXPECT_EQ(s.changed[0].oldFormula, "C2H4O2");
  EXPECT_EQ(s.changed[0].newFormula, "C2H3O2");
  EXPECT_EQ(s.changed[1].newWeight, "78.11");
  EXPECT_FALSE(s.changed[1].keyChanged);
  ASSERT_EQ(s.missing.size(), 1u);
  EXPECT_EQ(s.missing[0].nameLine, "gone.mol");
  ASSERT_EQ(s.refused.size(), 1u);
  EXPECT_EQ(s.refused[0].reason, AtomNotElementMessage(2, "X"));
  EXPECT_EQ(sink.progress.back(), std::make_pair(1000, 1000));
  const std::string after =
      "acetate.mol\r\n59.04\r\nC2H3O2\r\nC-C=O/C-C-O/O=C-C/O=C-O/O-C-C/O-C=O\r\n"
      "benzene.mol\r\n78.11\r\nC6H6\r\nCCCCCC6\r\n"
      "\r\n"
      "ethanol.mol\r\n46.07\r\nC2H6O\r\nC-C-O/O-C-C\r\n"
      "gone.mol\r\n1.00\r\nC\r\n\r\n"
      "label.mol\r\n24.02\r\nC2\r\nC-X/X-C\r\n";
  EXPECT_EQ(ReadFile(dir / "db.txt"), after);

  // With --keys the key lines too; a second run changes nothing.
  s = RecomputeRecords(dir / "db.txt", dir / "mol", true, sink);
  ASSERT_EQ(s.changed.size(), 1u);
  EXPECT_TRUE(s.changed[0].keyChanged);
  EXPECT_NE(ReadFile(dir / "db.txt").find("benzene.mol\r\n78.11\r\nC6H6\r\nC@C@C@C@C@C@6\r\n"),
            std::string::npos);
  EXPECT_TRUE(RecomputeRecords(dir / "db.txt", dir / "mol", true, sink).changed.empty());

  EXPECT_THROW(RecomputeRecords(dir / "none.txt", dir / "mol", false, sink), RuntimeError);
}

}  // namespace
}  // namespace vuduzez
