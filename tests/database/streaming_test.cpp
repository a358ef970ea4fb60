// Deletion and the chain rewrite read the database in chunks (RecordStream)
// and write the replacement as they go: the bytes must be those of the whole-text reading,
// on damaged files and across chunk boundaries too.
#include <gtest/gtest.h>

#include <random>

#include "database/chains.h"
#include "database/database.h"
#include "platform/text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// The whole-text deletion: kept lines trimmed, blank lines kept empty, a
// short last record with the lines it has.
std::string DeletedInMemory(const std::string& text, const std::string& name) {
  std::string kept;
  RecordReader reader(text);
  RecordLines r;
  for (bool more = true; more;) {
    more = reader.Next(r);
    for (int i = 0; i < reader.BlankLinesBefore(); ++i) kept += "\r\n";
    if (!more) break;
    if (Trim(r.name) == name) continue;
    const std::string_view lines[] = {r.name, r.weight, r.formula, r.key};
    for (int i = 0; i < r.count; ++i) kept += Trim(lines[i]) + "\r\n";
  }
  return kept;
}

// The ten replacements one after the other, leftmost first.
std::string AbbreviatedStepByStep(std::string line) {
  const char* steps[][2] = {{"C@C@C@C@C@C@", "X6"}, {"C@C@C@C@C@", "X5"}, {"C@C@C@C@", "X4"},
                            {"C@C@C@", "X3"},       {"C@C@", "X2"},       {"C-C-C-C-C-C-", "Y6"},
                            {"C-C-C-C-C-", "Y5"},   {"C-C-C-C-", "Y4"},   {"C-C-C-", "Y3"},
                            {"C-C-", "Y2"}};
  for (const auto& [from, to] : steps) {
    for (size_t at = line.find(from); at != std::string::npos; at = line.find(from, at)) {
      line.replace(at, std::string_view(from).size(), to);
      at += 2;
    }
  }
  return line;
}

// The whole-text rewrite: key lines abbreviated, the other lines as read,
// blank lines kept empty, a short last record with the lines it has.
std::string RewrittenInMemory(const std::string& text) {
  std::string out;
  RecordReader reader(text);
  RecordLines r;
  for (bool more = true; more;) {
    more = reader.Next(r);
    for (int i = 0; i < reader.BlankLinesBefore(); ++i) out += "\r\n";
    if (!more) break;
    const std::string_view lines[] = {r.name, r.weight, r.formula, r.key};
    for (int i = 0; i < r.count; ++i) {
      out += (i == 3 ? AbbreviatedStepByStep(std::string(r.key)) : std::string(lines[i])) + "\r\n";
    }
  }
  return out;
}

TEST(Streaming, DeleteAndRewriteGiveTheBytesOfTheWholeTextReading) {
  TempFolder dir;
  const std::string db = dir / "db.txt";
  const std::string huge(1536 * 1024, 'C');  // a key line longer than a chunk
  std::string many;  // records that cross chunk boundaries, a CR LF split among them
  for (int i = 0; i < 3000; ++i) {
    many += "m" + std::to_string(i) + ".mol\r\n1" + std::to_string(i) + ".5\r\nC6H6\r\n" +
            std::string(static_cast<size_t>(300 + i % 7), 'C') + "@C@C-C-C-O\r\n";
  }
  const std::string sample = ReadFile(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/compounds.txt");
  const std::vector<std::string> texts = {
      sample,
      many,
      "a.mol\r\n1\r\nC\r\n" + huge + "\r\nb.mol\r\n2\r\nC2\r\nC-C-C-C\r\n",
      "\r\n \r\na.mol\r\n1\r\nC\r\nC@C@C@\r\n\r\n\r\nb.mol\r\n2\r\nC2\r\nC-C\r\n\r\n",
      "a.mol\r1\rC\rC@C@C@C@C@C@C@\rb.mol\r2\rC\rC\r",              // lone CR line ends
      "a.mol\n1\nC\nC-C-C-C-C-C-C-C-C-C-C-C-C-\nb.mol\n2\nC\nC\n",  // lone LF
      "a.mol\r\n1\r\nC\r\nC@C@\r\nb.mol\r\n2\r\n",                  // a short last record
      "a.mol\r\n1\r\nC\r\nC@C@\r\nb.mol\r\n2\r\nC\r\nC-C-C",        // no last line end
      "  b.mol \r\n 2\r\nC\r\nC\r\n",
  };
  for (size_t t = 0; t < texts.size(); ++t) {
    SCOPED_TRACE(t);
    for (const std::string name : {"b.mol", "m1999.mol", "none.mol"}) {
      WriteFile(db, texts[t]);
      DeleteRecords(db, name);
      EXPECT_EQ(ReadFile(db), DeletedInMemory(texts[t], name)) << name;
    }
    WriteFile(db, texts[t]);
    RecordingSink ui;
    RewriteChains(db, ui);
    EXPECT_EQ(ReadFile(db), RewrittenInMemory(texts[t]));
  }
}

TEST(Streaming, OnePassAbbreviationAgreesWithTheTenSteps) {
  std::mt19937 rng(7);
  const char alphabet[] = {'C', '@', '-', 'C', 'O', '/', '6'};
  for (int i = 0; i < 20000; ++i) {
    std::string line(rng() % 40, ' ');
    for (char& c : line) c = alphabet[rng() % sizeof alphabet];
    ASSERT_EQ(AbbreviateChains(line), AbbreviatedStepByStep(line)) << line;
  }
}

TEST(Streaming, LineEndsFoundAsAByteLoopFindsThem) {
  // Random CR, LF and other bytes at every alignment of the 32-byte steps.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string text(static_cast<size_t>(random() % 200), 'x');
    for (char& c : text) {
      const unsigned r = random() % 40;
      c = r == 0 ? '\r' : r == 1 ? '\n' : static_cast<char>(r == 2 ? 0x8d : 'C' + r % 5);
    }
    for (size_t from = 0; from <= text.size(); ++from) {
      size_t expected = text.find_first_of("\r\n", from);
      ASSERT_EQ(FindLineEnd(text, from), expected) << round << " " << from;
    }
  }
}

}  // namespace
}  // namespace vuduzez
