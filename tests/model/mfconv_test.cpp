#include "model/mfconv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/molreader.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/mdlct_byte_scan.h"
#include "support/recording_sink.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;
using testing::ByteScan;

// Ethanol as a structure editor writes it: header line 2 ends in the dimension
// code "2D", line 3 is empty, atom lines are 69 characters.
const std::vector<std::string> kEthanol = {
    "ethanol",
    "  -ISIS-  06152314302D",
    "",
    "  3  2  0  0  0  0  0  0  0  0999 V2000",
    "   -0.8250    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0",
    "    0.0000    0.4763    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0",
    "    0.8250    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0",
    "  1  2  1  0  0  0  0",
    "  2  3  1  0  0  0  0",
    "M  END",
};

std::string Block(const std::vector<std::string>& lines) {
  std::string b;
  for (const auto& l : lines) {
    b += static_cast<char>(l.size());
    b += l;
  }
  return b;
}

std::string CrLfText(const std::vector<std::string>& lines) {
  std::string t;
  for (const auto& l : lines) t += l + "\r\n";
  return t;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  LineReader r(text);
  while (!r.AtEnd()) lines.emplace_back(r.Next());
  return lines;
}

// Whether a MOL file survives the byte scan unchanged: the shapes the editor
// writes (see kEthanol) and no "E" in the text.
bool ScanSafe(const std::vector<std::string>& lines) {
  if (lines.size() < 5 || lines[1].empty() || lines[1].back() != 'D' || !lines[2].empty()) {
    return false;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& l = lines[i];
    if (l.find_first_of(std::string("E\x06", 2)) != std::string::npos && l != "M  END")
      return false;
    if (i >= 4 && l.size() >= 32 && l.size() != 69) return false;
    if (l.size() > 255) return false;
  }
  return lines.back() == "M  END";
}

TEST(ConvertMdlctBlock, SearchAndRegistrationVariants) {
  const std::string block = Block(kEthanol);
  std::vector<std::string> expected = kEthanol;
  expected[1] = expected[2] = "";
  EXPECT_EQ(ConvertMdlctBlock(block, NameLine::kKeep), CrLfText(expected));
  expected[0] = "";
  EXPECT_EQ(ConvertMdlctBlock(block, NameLine::kBlank), CrLfText(expected));

  // An empty name gives an empty first line in both variants.
  auto unnamed = kEthanol;
  unnamed[0] = "";
  EXPECT_EQ(ConvertMdlctBlock(Block(unnamed), NameLine::kKeep), CrLfText(expected));
}

TEST(ConvertMdlctBlock, SameBytesAsTheByteScanForEditorBlocks) {
  std::vector<std::vector<std::string>> mols = {kEthanol};
  auto unnamed = kEthanol;
  unnamed[0] = "";
  mols.push_back(unnamed);
  auto charged = kEthanol;
  charged.insert(charged.end() - 1, "M  CHG  1   3  -1");
  mols.push_back(charged);
  auto noBonds = std::vector<std::string>(kEthanol.begin(), kEthanol.begin() + 5);
  noBonds[3] = "  1  0  0  0  0  0  0  0  0  0999 V2000";
  noBonds.push_back("M  END");
  mols.push_back(noBonds);

  // And every sample MOL file of the shape the editor writes.
  const fs::path dir = fs::path(VUDUZEZ_SOURCE_DIR) / "sample" / "mol";
  if (fs::is_directory(dir)) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".mol") continue;
      auto lines = SplitLines(ReadFileBytes(entry.path().string()));
      if (ScanSafe(lines)) mols.push_back(lines);
    }
  }
  for (const auto& mol : mols) {
    ASSERT_TRUE(ScanSafe(mol)) << mol[0];
    const std::string block = Block(mol);
    for (NameLine v : {NameLine::kKeep, NameLine::kBlank}) {
      EXPECT_EQ(ConvertMdlctBlock(block, v), ByteScan(block, v)) << mol[0];
    }
  }
}

TEST(ConvertMdlctBlock, HeaderLinesAreDroppedWhateverTheyHold) {
  auto mol = kEthanol;
  mol[1] = "  -ISIS-  0615231430";  // no dimension code
  mol[2] = "a comment";             // a non-empty line 3
  auto out = SplitLines(ConvertMdlctBlock(Block(mol), NameLine::kKeep));
  ASSERT_EQ(out.size(), kEthanol.size());
  EXPECT_EQ(out[0], "ethanol");
  EXPECT_EQ(out[1], "");
  EXPECT_EQ(out[2], "");
  EXPECT_EQ(out[3], kEthanol[3]);
}

TEST(ConvertMdlctBlock, LinesAreCopiedAsTheyAre) {
  auto mol = kEthanol;
  mol[0] = "ETHANOL E";  // "E" bytes are text, not line breaks
  mol[6][31] = 'E';      // an atom symbol starting with E
  mol[6][32] = 'u';
  const std::string longProp = "M  STY  2   1 SUP   2 SUP";  // 25 characters
  const std::string longLine(40, 'x');                       // a length byte of 40
  mol.insert(mol.end() - 1, longProp);
  mol.insert(mol.end() - 1, longLine);
  const std::string out = ConvertMdlctBlock(Block(mol), NameLine::kKeep);
  auto lines = SplitLines(out);
  ASSERT_EQ(lines.size(), mol.size());
  EXPECT_EQ(lines[0], "ETHANOL E");
  EXPECT_EQ(lines[6], mol[6]);
  EXPECT_EQ(lines[9], longProp);
  EXPECT_EQ(lines[10], longLine);
  EXPECT_EQ(out.find('('), std::string::npos);            // the length byte 40 is not text
  EXPECT_NE(out, ByteScan(Block(mol), NameLine::kKeep));  // which the byte scan broke
}

TEST(ConvertMdlctBlock, BlockWithoutEndLineOrCutShort) {
  auto mol = kEthanol;
  mol.pop_back();  // no "M  END"
  std::vector<std::string> expected = kEthanol;
  expected[1] = expected[2] = "";
  EXPECT_EQ(ConvertMdlctBlock(Block(mol), NameLine::kKeep), CrLfText(expected));

  // Cut in the middle of the second atom line: what is there is kept.
  const std::string whole = Block(kEthanol);
  const size_t cut = whole.find(kEthanol[5]) + 10;
  auto lines = SplitLines(ConvertMdlctBlock(whole.substr(0, cut), NameLine::kKeep));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5], kEthanol[5].substr(0, 10));
  EXPECT_EQ(lines[6], "M  END");

  // Every prefix of the block converts without reading past it.
  for (size_t n = 0; n <= whole.size(); ++n) {
    const std::string out = ConvertMdlctBlock(whole.substr(0, n), NameLine::kBlank);
    EXPECT_EQ(out.substr(out.size() - 8), "M  END\r\n");
  }
  // A lone length byte promising 255 characters.
  EXPECT_EQ(ConvertMdlctBlock(std::string(1, '\xff'), NameLine::kKeep), "\r\n\r\n\r\nM  END\r\n");
}

TEST(MolText, FirstLineBlankedForSearchOnly) {
  EXPECT_EQ(CaptureMolText("name\r\nx\r\n", NameLine::kBlank), "\r\nx\r\n");
  EXPECT_EQ(CaptureMolText("name\nx\n", NameLine::kBlank), "\nx\n");
  EXPECT_EQ(CaptureMolText("name\rx\r", NameLine::kBlank), "\rx\r");
  EXPECT_EQ(CaptureMolText("\r\nx", NameLine::kBlank), "\r\nx");
  EXPECT_EQ(CaptureMolText("name", NameLine::kBlank), "");
  EXPECT_EQ(CaptureMolText("name\nx", NameLine::kKeep), "name\nx");
}

TEST(MolText, RecognisesV2000Text) {
  EXPECT_TRUE(LooksLikeMolV2000(CrLfText(kEthanol)));
  std::string lf;
  for (const auto& l : kEthanol) lf += l + "\n";
  EXPECT_TRUE(LooksLikeMolV2000(lf));
  EXPECT_FALSE(LooksLikeMolV2000(""));
  EXPECT_FALSE(LooksLikeMolV2000("CCO"));
  EXPECT_FALSE(LooksLikeMolV2000("a\nb\nc\n  0  0  0  0  0  0            999 V3000\n"));
  EXPECT_FALSE(LooksLikeMolV2000("a\nb\nc\n"));
  // What the reader reads: V3000 too, and after a byte order mark.
  EXPECT_TRUE(LooksLikeMolText("a\nb\nc\n  0  0  0  0  0  0            999 V3000\n"));
  EXPECT_TRUE(LooksLikeMolText("\xEF\xBB\xBF" + lf));
  EXPECT_FALSE(LooksLikeMolText("CCO"));
}

TEST(Capture, BlockBecomesReadableMolTextAndAnEmptyBlockNothing) {
  RecordingSink ui;
  std::optional<std::string> text = CaptureStructure(Block(kEthanol), NameLine::kKeep, ui);
  ASSERT_TRUE(text.has_value());
  EXPECT_TRUE(ui.messages.empty());

  Molecule mol;
  ASSERT_TRUE(ReadMolText(mol, *text, ui));
  CalcFormulaWeight(mol);
  EXPECT_EQ(mol.molname, "ethanol");
  EXPECT_EQ(mol.molformula, "C2H6O");
  EXPECT_EQ(mol.atmcount, 3);
  EXPECT_EQ(mol.bndcount, 2);

  // The search variant, with an empty name.
  text = CaptureStructure(Block(kEthanol), NameLine::kBlank, ui);
  ASSERT_TRUE(ReadMolText(mol, *text, ui));
  EXPECT_EQ(mol.molname, "");

  EXPECT_FALSE(CaptureStructure("", NameLine::kBlank, ui).has_value());
  EXPECT_EQ(ui.messages, std::vector<std::string>{"クリップボードにデータがありません"});
}

}  // namespace
}  // namespace vuduzez
