// Hit export: an SD file written from hits reads back through the SD reader
// with the same MOL blocks and names; CSV quoting and JSON lines.
#include "search/hit_export.h"

#include <gtest/gtest.h>

#include <sstream>

#include "model/sdfile.h"
#include "platform/encoding.h"
#include "support/mol_text.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TempFolder;
using testing::WriteFile;

class HitExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    phenol = MolText("phenol", {"C", "C", "C", "C", "C", "C", "O"},
                     {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}, {1, 7}});
    WriteFile(folder / "phenol.mol", phenol);
    // LF lines, no "M  END", text after the block that must not leak out.
    const std::string lf = MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}, "\n");
    WriteFile(folder / "ethanol.mol", lf.substr(0, lf.find("M  END")) + "$$$$\n> <X>\ny\n");
    WriteFile(folder / "ベンゼン.mol",
              MolText("benzene", testing::Atoms(6),
                      {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}}));
    // An imported SD record: its data items kept after the block.
    WriteFile(
        folder / "a,\"b\".mol",
        MolText("odd", {"C"}, {}) + ">  <ID>\r\nX-1\r\n\r\n>  <note>\r\ntwo\r\nlines\r\n\r\n");
    // The database holds what the hit without its MOL file is.
    WriteFile(db, "missing.mol\r\n58.12\r\nC4H10\r\nC-C-C-C\r\n");
    hits = {"phenol", "ethanol", "missing", *Utf8ToAnsi("ベンゼン"), "a,\"b\""};
  }

  std::string Write(HitFormat format, int* failed = nullptr) {
    std::ostringstream out;
    messages.clear();
    const HitCounts n = WriteHits(out, format, hits, folder.path(), db,
                                  [&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(n.written, static_cast<int>(hits.size()));  // every hit, whole or not
    if (failed) *failed = n.withoutStructure;
    return out.str();
  }

  TempFolder folder;
  std::string db = folder / "compounds.txt";
  std::string phenol;
  std::vector<std::string> hits;
  std::vector<std::string> messages;
};

TEST_F(HitExportTest, AnExportedSdFileReadsBackWithTheSameBlocksAndNames) {
  int failed = 0;
  const std::string sdf = Write(HitFormat::kSdf, &failed);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(messages, std::vector<std::string>{"missing: ファイルがありません"});

  SdReader reader(SdBytes{sdf});
  std::vector<SdRecord> records;
  for (SdRecord r; reader.Next(r);) records.push_back(r);
  ASSERT_EQ(records.size(), 5u);
  // The hit without its MOL file: the database's formula and weight, no atoms.
  const SdRecord missing = records[2];
  records.erase(records.begin() + 2);
  EXPECT_EQ(missing.kind, SdRecordKind::kV2000);
  EXPECT_EQ(missing.title, "missing");
  EXPECT_EQ(*missing.Find("formula"), "C4H10");
  EXPECT_EQ(*missing.Find("weight"), "58.12");
  EXPECT_EQ(*missing.Find("error"), "ファイルがありません");
  const char* names[] = {"phenol", "ethanol", "ベンゼン", "a,\"b\""};
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(records[i].kind, SdRecordKind::kV2000);
    EXPECT_TRUE(records[i].hadEnd);
    ASSERT_NE(records[i].Find("name"), nullptr);
    EXPECT_EQ(*records[i].Find("name"), names[i]);
    // The block as the MOL file has it: re-exported, it is the same again.
    HitExport again;
    again.name = names[i];
    again.molfile = records[i].molblock;
    const std::string text = SdHitRecord(again);
    SdReader back(SdBytes{text});
    SdRecord r;
    ASSERT_TRUE(back.Next(r));
    EXPECT_EQ(r.molblock, records[i].molblock);
  }
  EXPECT_EQ(records[0].molblock, phenol);  // a CR LF file with "M  END": byte for byte
  EXPECT_EQ(*records[0].Find("formula"), "C6H6O");
  EXPECT_EQ(*records[0].Find("weight"), "94.11");
  EXPECT_EQ(records[1].molblock, MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}, "\r\n"));
  EXPECT_EQ(*records[1].Find("formula"), "C2H6O");
  EXPECT_EQ(records[1].data.size(), 3u);  // nothing after the MOL file's block
  EXPECT_EQ(*records[2].Find("weight"), "78.11");
  // The data items of an imported record come back, before ours.
  ASSERT_EQ(records[3].data.size(), 5u);
  EXPECT_EQ(*records[3].Find("ID"), "X-1");
  EXPECT_EQ(*records[3].Find("note"), "two\nlines");
}

TEST_F(HitExportTest, CsvAndJsonLines) {
  int failed = 0;
  EXPECT_EQ(Write(HitFormat::kCsv, &failed),
            "name,formula,weight,ID,note\r\n"
            "phenol,C6H6O,94.11,,\r\n"
            "ethanol,C2H6O,46.07,,\r\n"
            "missing,C4H10,58.12,,\r\n"
            "ベンゼン,C6H6,78.11,,\r\n"
            "\"a,\"\"b\"\"\",CH4,16.04,X-1,\"two\nlines\"\r\n");
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(messages.size(), 1u);

  const std::string json = Write(HitFormat::kJson);
  std::istringstream lines(json);
  std::vector<std::string> l;
  for (std::string line; std::getline(lines, line);) l.push_back(line);
  ASSERT_EQ(l.size(), 5u);
  EXPECT_EQ(l[0], R"({"name":"phenol","formula":"C6H6O","weight":94.11})");
  EXPECT_EQ(
      l[2],
      R"({"name":"missing","formula":"C4H10","weight":58.12,"error":"ファイルがありません"})");
  EXPECT_EQ(
      l[4],
      R"({"name":"a,\"b\"","formula":"CH4","weight":16.04,"data":{"ID":"X-1","note":"two\nlines"}})");

  EXPECT_EQ(Write(HitFormat::kNames, &failed), "phenol\nethanol\nmissing\nベンゼン\na,\"b\"\n");
  EXPECT_EQ(failed, 0);  // names alone need no MOL file

  EXPECT_EQ(CsvField(" lead"), "\" lead\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(JsonText("tab\there\x01"), "\"tab\\there\\u0001\"");
}

TEST(HitFormat, NamesAndExtensions) {
  EXPECT_EQ(ParseHitFormat("sdf"), HitFormat::kSdf);
  EXPECT_EQ(ParseHitFormat("SDF"), std::nullopt);
  EXPECT_EQ(HitFormatForFile("/a.b/hits.SDF"), HitFormat::kSdf);
  EXPECT_EQ(HitFormatForFile("hits.sd"), HitFormat::kSdf);
  EXPECT_EQ(HitFormatForFile("hits.csv"), HitFormat::kCsv);
  EXPECT_EQ(HitFormatForFile("hits.jsonl"), HitFormat::kJson);
  EXPECT_EQ(HitFormatForFile("hits.txt"), HitFormat::kNames);
  EXPECT_EQ(HitFormatForFile("/a.b/hits"), std::nullopt);
  EXPECT_EQ(HitFormatForFile("hits.xls"), std::nullopt);
}

}  // namespace
}  // namespace vuduzez
