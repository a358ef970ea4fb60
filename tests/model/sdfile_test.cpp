#include "model/sdfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "model/molreader.h"
#include "platform/errors.h"
#include "support/gzip_text.h"
#include "support/mol_text.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::TempFolder;

// Replaces every LF by eol.
std::string Eol(const std::string& lf, const char* eol) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') {
      out += eol;
    } else {
      out += c;
    }
  }
  return out;
}

// The MOL block of MolText without its name line's CR LF: LF lines.
std::string Block(const std::string& name, int atoms) {
  return MolText(name, testing::Atoms(atoms), {}, "\n");
}

std::vector<SdRecord> ReadAll(SdReader& reader) {
  std::vector<SdRecord> records;
  SdRecord r;
  while (reader.Next(r)) records.push_back(r);
  return records;
}

std::vector<SdRecord> ReadAll(std::string_view text) {
  SdReader reader(SdBytes{text});
  return ReadAll(reader);
}

const std::string kTwoRecords = Block("first", 1) +
                                "> <NAME>\nalpha\n\n"
                                ">  <MELTING.POINT>  (MD-08974)\n150\n\n"
                                "$$$$\n" +
                                Block("second", 2) + "$$$$\n";

TEST(SdFile, UnixAndWindowsLineEndsGiveTheSameRecords) {
  for (const char* eol : {"\n", "\r\n", "\r"}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(eol)));
    const std::vector<SdRecord> records = ReadAll(Eol(kTwoRecords, eol));
    ASSERT_EQ(records.size(), 2u);
    const SdRecord& a = records[0];
    EXPECT_EQ(a.number, 1);
    EXPECT_EQ(a.firstLine, 1);
    EXPECT_EQ(a.kind, SdRecordKind::kV2000);
    EXPECT_TRUE(a.hadEnd);
    EXPECT_EQ(a.title, "first.mol");
    EXPECT_EQ(a.molblock, MolText("first", testing::Atoms(1), {}, "\r\n"));
    ASSERT_EQ(a.data.size(), 2u);
    EXPECT_EQ(a.data[0].name, "NAME");
    EXPECT_EQ(a.data[0].value, "alpha");
    EXPECT_EQ(a.data[1].name, "MELTING.POINT");
    EXPECT_EQ(a.data[1].header, ">  <MELTING.POINT>  (MD-08974)");
    EXPECT_EQ(*a.Find("MELTING.POINT"), "150");
    EXPECT_EQ(a.Find("nothing"), nullptr);
    EXPECT_EQ(records[1].number, 2);
    EXPECT_EQ(records[1].firstLine, 14);
    EXPECT_TRUE(records[1].data.empty());

    // The block reads as the MOL file it is.
    Molecule mol;
    SilentSink sink;
    ASSERT_TRUE(ReadMolText(mol, records[1].molblock, sink).ok());
    EXPECT_EQ(mol.atmcount, 2);
  }
}

TEST(SdFile, MissingEndDataItemsWithBlankLinesAndTheLastRecord) {
  const std::string noEnd = MolText("x", testing::Atoms(1), {}, "\n");
  const std::string block = noEnd.substr(0, noEnd.find("M  END"));
  const std::vector<SdRecord> records =
      ReadAll("\xEF\xBB\xBF" + block +
              "> <COMMENT>\nline one\n\nline three\n\n\n"
              "> <EMPTY>\n\n"
              "> <NEXT>\nvalue\n"
              ">  <NOBLANK>\nkept\n\n"
              "$$$$\n" +
              block + "\n\n$$$$\n" +  // no "M  END", no data, blank lines before the end
              noEnd + "> <LAST>\nno final dollars\n\n\n");
  ASSERT_EQ(records.size(), 3u);
  const SdRecord& a = records[0];
  EXPECT_FALSE(a.hadEnd);
  EXPECT_EQ(a.title, "x.mol");  // the byte order mark is not part of it
  EXPECT_EQ(a.molblock, MolText("x", testing::Atoms(1), {}, "\r\n"));
  ASSERT_EQ(a.data.size(), 4u);
  EXPECT_EQ(a.data[0].value, "line one\n\nline three");
  EXPECT_EQ(a.data[1].value, "");
  EXPECT_EQ(a.data[2].value, "value");  // a header right after a value line
  EXPECT_EQ(a.data[3].name, "NOBLANK");
  EXPECT_EQ(records[1].molblock, MolText("x", testing::Atoms(1), {}, "\r\n"));
  EXPECT_FALSE(records[1].hadEnd);
  EXPECT_EQ(*records[2].Find("LAST"), "no final dollars");

  // Nothing but blank lines after the last "$$$$" is no record.
  EXPECT_EQ(ReadAll(kTwoRecords + "\n\n").size(), 2u);
  EXPECT_EQ(ReadAll("").size(), 0u);
}

TEST(SdFile, AV3000RecordInTheMiddleIsReadToo) {
  const std::string v3000 =
      "v3\n  x\n\n  0  0  0     0  0            999 V3000\n"
      "M  V30 BEGIN CTAB\nM  V30 COUNTS 1 0 0 0 0\nM  V30 END CTAB\nM  END\n"
      "> <NAME>\nthree thousand\n\n$$$$\n";
  const std::string text =
      Block("a", 1) + "$$$$\n" + v3000 + Block("c", 3) + "$$$$\n" + "short\n$$$$\n";
  const std::vector<SdRecord> records = ReadAll(text);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].kind, SdRecordKind::kV2000);
  EXPECT_EQ(records[1].kind, SdRecordKind::kV3000);
  EXPECT_EQ(records[1].number, 2);
  EXPECT_EQ(*records[1].Find("NAME"), "three thousand");
  EXPECT_EQ(SdRecordProblem(records[1]), "");  // read through its conversion to V2000
  EXPECT_EQ(records[2].kind, SdRecordKind::kV2000);
  EXPECT_EQ(records[2].title, "c.mol");
  EXPECT_EQ(SdRecordProblem(records[2]), "");
  EXPECT_EQ(records[3].kind, SdRecordKind::kNotMol);
  EXPECT_EQ(SdRecordProblem(records[3]), "レコード 4: MOL V2000 のブロックではありません");
}

// A file of many records read through the descriptor's buffer gives what the
// same bytes give in memory, also where a CR LF or a line straddles a refill.
TEST(SdFile, StreamingFromAFileMatchesMemory) {
  std::string text;
  for (int i = 0; i < 700; ++i) {
    text += Eol(Block("m" + std::to_string(i), 1 + i % 5) + "> <ID>\n" + std::to_string(i) + "\n" +
                    std::string(static_cast<size_t>(i % 97), 'x') + "\n\n$$$$\n",
                "\r\n");
  }
  // Pad the first value so that a CR ends the reader's first 64 KiB chunk.
  const size_t cr = text.rfind('\r', 65535);
  text.insert(text.find("\r\n", text.find("<ID>") + 6), 65535 - cr, 'y');
  ASSERT_EQ(text.substr(65535, 2), "\r\n");
  TempFolder tmp;
  const std::string path = tmp.path() + "/many.sdf";
  testing::WriteFile(path, text);
  SdReader fromFile(path);
  EXPECT_EQ(fromFile.Size(), text.size());
  const std::vector<SdRecord> streamed = ReadAll(fromFile);
  EXPECT_EQ(fromFile.BytesRead(), text.size());
  const std::vector<SdRecord> held = ReadAll(text);
  ASSERT_EQ(streamed.size(), 700u);
  ASSERT_EQ(held.size(), 700u);
  for (size_t i = 0; i < held.size(); ++i) {
    ASSERT_EQ(streamed[i].molblock, held[i].molblock) << i;
    ASSERT_EQ(streamed[i].data.size(), 1u) << i;
    ASSERT_EQ(streamed[i].data[0].value, held[i].data[0].value) << i;
  }
  EXPECT_EQ(held[699].data[0].value, "699\n" + std::string(699 % 97, 'x'));

  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  {
    SdReader fromFd(fd);
    EXPECT_EQ(ReadAll(fromFd).size(), 700u);
  }
  EXPECT_EQ(::close(fd), 0);  // the descriptor stayed open

  EXPECT_THROW(SdReader(tmp.path() + "/missing.sdf"), RuntimeError);
  EXPECT_THROW(SdReader(tmp.path()), RuntimeError);  // a folder

  // The same file gzip-compressed, in two members as "cat a.gz b.gz" makes
  // them, reads as what it holds: from the file, a descriptor and memory.
  const size_t half = text.find("$$$$", text.size() / 2) + 6;
  const std::string gz = testing::Gzip(text.substr(0, half)) + testing::Gzip(text.substr(half));
  const std::string gzPath = tmp.path() + "/many.sdf.gz";
  testing::WriteFile(gzPath, gz);
  SdReader packed(gzPath);
  const std::vector<SdRecord> expanded = ReadAll(packed);
  EXPECT_EQ(packed.BytesRead(), gz.size());  // progress runs over the compressed bytes
  SdReader packedInMemory(SdBytes{gz});
  const std::vector<SdRecord> inMemory = ReadAll(packedInMemory);
  ASSERT_EQ(expanded.size(), 700u);
  ASSERT_EQ(inMemory.size(), 700u);
  for (size_t i = 0; i < held.size(); i += 7) {
    ASSERT_EQ(expanded[i].molblock, held[i].molblock) << i;
    ASSERT_EQ(inMemory[i].data[0].value, held[i].data[0].value) << i;
  }
  // A stream cut short is an error, not a shorter file.
  const std::string cut = gz.substr(0, gz.size() / 3);
  SdReader damaged(SdBytes{cut});
  EXPECT_THROW(ReadAll(damaged), RuntimeError);
}

}  // namespace
}  // namespace vuduzez
