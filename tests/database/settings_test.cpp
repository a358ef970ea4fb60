// vuduzez.ini: marker lines, values, and what a partial or missing file gives.
#include <gtest/gtest.h>

#include "database/settings.h"
#include "platform/errors.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::TempFolder;
using testing::WriteFile;

Settings Parse(std::string_view text) {
  Settings s;
  ParseSettings(s, text);
  return s;
}

TEST(Settings, CompleteFileInAnyOrder) {
  Settings s =
      Parse("[basedir2]\r\n/db\r\n[mdatafilename]\r\n/db/compounds.txt\r\n[basedir1]\r\n/mol\r\n");
  EXPECT_EQ(s.mdatafilename, "/db/compounds.txt");
  EXPECT_EQ(s.basedir1, "/mol");
  EXPECT_EQ(s.basedir2, "/db");
}

TEST(Settings, AByteOrderMarkBeforeTheFirstMarkerIsPassedOver) {
  EXPECT_EQ(Parse("\xEF\xBB\xBF[basedir1]\r\n/mol\r\n").basedir1, "/mol");
}

TEST(Settings, OnlyOneMarkerLeavesTheOthersAsTheyWere) {
  Settings s;
  s.mdatafilename = "kept.txt";
  ParseSettings(s, "[basedir1]\r\n/mol\r\n");
  EXPECT_EQ(s.basedir1, "/mol");
  EXPECT_EQ(s.mdatafilename, "kept.txt");
  EXPECT_EQ(s.basedir2, "");
}

TEST(Settings, BlanksAroundMarkersAndValuesAreTrimmedButCaseCounts) {
  Settings s = Parse("  [basedir1]\t\r\n   /mol folder  \r\n[BaseDir2]\r\n/other\r\n");
  EXPECT_EQ(s.basedir1, "/mol folder");
  EXPECT_EQ(s.basedir2, "");  // "[BaseDir2]" is not a marker
}

TEST(Settings, ValueLineIsNeverAMarker) {
  Settings s = Parse("[basedir1]\r\n[basedir2]\r\n/x\r\n");
  EXPECT_EQ(s.basedir1, "[basedir2]");
  EXPECT_EQ(s.basedir2, "");
}

TEST(Settings, LaterMarkerWinsAndLastLineMarkerGivesEmpty) {
  Settings s = Parse("[basedir1]\n/first\n[basedir1]\n/second\n[mdatafilename]");
  EXPECT_EQ(s.basedir1, "/second");
  EXPECT_EQ(s.mdatafilename, "");
}

TEST(Settings, LoneCrAndLoneLfLineEnds) {
  EXPECT_EQ(Parse("[basedir1]\r/cr\r").basedir1, "/cr");
  EXPECT_EQ(Parse("[basedir1]\n/lf").basedir1, "/lf");
  EXPECT_EQ(Parse("").basedir1, "");
}

TEST(Settings, MissingFileThrowsAndChangesNothing) {
  TempFolder dir;
  Settings s;
  s.basedir1 = "before";
  EXPECT_THROW(LoadSettings(s, dir / "vuduzez.ini"), RuntimeError);
  EXPECT_EQ(s.basedir1, "before");

  WriteFile(dir / "vuduzez.ini", "[mdatafilename]\r\ncompounds.txt\r\n");
  LoadSettings(s, dir / "vuduzez.ini");
  EXPECT_EQ(s.mdatafilename, "compounds.txt");
  EXPECT_EQ(s.basedir1, "before");
}

}  // namespace
}  // namespace vuduzez
