// Whole drawings of sample molecules against stored operation lists, and the
// draw command end to end. VUDUZEZ_UPDATE_GOLDEN=1 rewrites the lists.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "depict/depict.h"
#include "depict/recording_canvas.h"
#include "depict/svg_canvas.h"
#include "model/molreader.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/cli_runner.h"
#include "support/recording_sink.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;

const std::string kSource = VUDUZEZ_SOURCE_DIR;

std::string SamplePath(const std::string& name) { return kSource + "/sample/mol/" + name + ".mol"; }
std::string GoldenPath(const std::string& name) {
  return kSource + "/tests/depict/golden/" + name + ".ops";
}

std::string DrawOps(const std::string& name) {
  Molecule mol;
  RecordingSink ui;
  EXPECT_TRUE(ReadMolFile(mol, SamplePath(name), ui)) << name;
  CalcFormulaWeight(mol);
  RecordingCanvas canvas;
  DrawMolecule(mol, kPictureWidth, 1, kPictureAspect, canvas);
  return canvas.Text();
}

class DepictGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(DepictGolden, SampleDrawingMatchesStoredOperations) {
  const std::string name = GetParam();
  if (!FileExists(SamplePath(name))) GTEST_SKIP() << "sample missing: " << name;
  const std::string ops = DrawOps(name);
  if (std::getenv("VUDUZEZ_UPDATE_GOLDEN") != nullptr) WriteFileBytes(GoldenPath(name), ops);
  EXPECT_EQ(ops, ReadFileBytes(GoldenPath(name)));
}

// Aspirin (double bonds in and out of a ring), a steroid with filled and
// hashed wedges, an amine and an alcohol.
INSTANTIATE_TEST_SUITE_P(Samples, DepictGolden,
                         ::testing::Values("aspirin", "testosterone", "ethylamine", "ethanol",
                                           "acetonitrile", "l_alanine"));

TEST(DepictGolden, LabelledFormsInTheSamples) {
  // The amine's NH2 and the alcohol's OH, as a reader would check them.
  const std::string amine = DrawOps("ethylamine");
  EXPECT_NE(amine.find(" 2\n"), std::string::npos);
  EXPECT_TRUE(amine.find("H N\n") != std::string::npos || amine.find("NH\n") != std::string::npos);
  const std::string alcohol = DrawOps("ethanol");
  EXPECT_TRUE(alcohol.find(" OH\n") != std::string::npos ||
              alcohol.find(" HO\n") != std::string::npos);
  const std::string steroid = DrawOps("testosterone");
  EXPECT_NE(steroid.find("polygon "), std::string::npos);
}

using CliRun = testing::CliResult;

class DrawCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vuduzez_draw_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // vuduzez-cli draw with the words of args (single quotes dropped: no path here has a blank).
  CliRun Cli(const std::string& args) {
    std::vector<std::string> words = {"draw"};
    std::istringstream in(args);
    for (std::string w; in >> w;) {
      std::erase(w, '\'');
      words.push_back(w);
    }
    return testing::RunCli(words);
  }

  fs::path dir_;
};

TEST_F(DrawCommand, OpsEqualTheLibraryDrawing) {
  const CliRun run = Cli("--ops '" + SamplePath("aspirin") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, DrawOps("aspirin"));
  const CliRun wide = Cli("--width 500 --ops '" + SamplePath("aspirin") + "'");
  EXPECT_EQ(wide.out.substr(0, 13), "size 500 350\n");
}

TEST_F(DrawCommand, SvgFileHasThePictureSizeAndTheLabels) {
  const std::string out = (dir_ / "a.svg").string();
  const CliRun run = Cli("--svg '" + out + "' '" + SamplePath("aspirin") + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string svg = ReadFileBytes(out);
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("width=\"350\" height=\"245\""), std::string::npos);
  EXPECT_NE(svg.find(">HO</text>"), std::string::npos);
  EXPECT_NE(svg.find("font-weight=\"bold\""), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST_F(DrawCommand, PngIsWrittenWhenQtIsBuiltInOtherwiseRefused) {
  const std::string out = (dir_ / "a.png").string();
  const CliRun run = Cli("--width 200 --png '" + out + "' '" + SamplePath("ethanol") + "'");
  if (run.status == 2) {
    EXPECT_NE(run.err.find("--png"), std::string::npos);
    EXPECT_FALSE(FileExists(out));
    return;
  }
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string png = ReadFileBytes(out);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  // IHDR: width and height, big-endian, at bytes 16 and 20.
  const auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  EXPECT_EQ(be32(16), 200u);
  EXPECT_EQ(be32(20), 140u);
}

TEST_F(DrawCommand, FailedReadLeavesTheOldOutputFileAlone) {
  const std::string out = (dir_ / "keep.svg").string();
  WriteFileBytes(out, "old picture");
  const CliRun missing = Cli("--svg '" + out + "' '" + (dir_ / "nothing.mol").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("ファイルが見つかりません"), std::string::npos);
  const std::string v3000 = (dir_ / "new.mol").string();
  WriteFileBytes(v3000, "x\n\n\n  0  0  0     0  0            999 V3000\nM  END\n");
  const CliRun refused = Cli("--svg '" + out + "' '" + v3000 + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("V3000 形式の MOL ファイルを読めません"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(out), "old picture");
}

TEST_F(DrawCommand, UsageErrors) {
  const std::string mol = " '" + SamplePath("ethanol") + "'";
  for (const char* options :
       {"", "--ops --ops", "--svg a.svg --ops", "--width 0 --ops", "--width x --ops",
        "--width 10001 --ops", "--ops other.mol", "--bogus --ops", "--width"}) {
    const std::string args = std::string(options) + mol;
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("usage"), std::string::npos) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  for (const char* args : {"", "--ops", "--svg"}) EXPECT_EQ(Cli(args).status, 2) << args;
}

}  // namespace
}  // namespace vuduzez
