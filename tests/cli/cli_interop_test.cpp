// End-to-end tests of SMILES input and hit export on the command line, run in
// the bundled sample workspace (searching only reads it).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

using Result = testing::CliResult;
using testing::Lines;

// vuduzez-cli in the bundled sample workspace (searching only reads it).
Result Cli(const std::vector<std::string>& args, const std::string& input = {}) {
  return testing::RunCli(args,
                         testing::InFolder(std::string(VUDUZEZ_SOURCE_DIR) + "/sample", input));
}

TEST(CliSmiles, KeyAndSearchTakeSmiles) {
  const Result key = Cli({"key", "--smiles", "c1ccccc1 benzene", "C1CC", "CCO"});
  EXPECT_EQ(key.status, 1);
  EXPECT_EQ(Lines(key.out),
            (std::vector<std::string>{"c1ccccc1 benzene\tbenzene\tC6H6\t78.11\tC@C@C@C@C@C@6",
                                      "CCO\tCCO\tC2H6O\t46.07\tC-C-O/O-C-C"}));
  EXPECT_EQ(key.err, "C1CC: SMILES の 2 文字目: 環結合 1 が閉じていません\n");
  const Result json = Cli({"key", "--json", "--smiles", "CC(=O)O"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find(R"({"smiles":"CC(=O)O","molname":"CC(=O)O","atoms":4,"bonds":3,)"),
            std::string::npos)
      << json.out;

  // A SMILES query finds what the same structure drawn finds.
  const Result drawn = Cli({"search", "queries/benzene_ring.mol"});
  const Result smiles = Cli({"search", "--smiles", "c1ccccc1"});
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(smiles.status, 0) << smiles.err;
  EXPECT_FALSE(drawn.out.empty());
  EXPECT_EQ(smiles.out, drawn.out);
  const Result bad = Cli({"search", "--smiles", "c1cccc1"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("SMILES の 6 文字目"), std::string::npos);
}

TEST(CliSmiles, SearchFormats) {
  const std::vector<std::string> names = Lines(Cli({"search", "--smiles", "c1ccccc1O"}).out);
  ASSERT_FALSE(names.empty());

  const Result sdf = Cli({"search", "--format", "sdf", "--smiles", "c1ccccc1O"});
  EXPECT_EQ(sdf.status, 0) << sdf.err;
  size_t records = 0;
  for (size_t p = 0; (p = sdf.out.find("$$$$\r\n", p)) != std::string::npos; ++p) ++records;
  EXPECT_EQ(records, names.size());
  EXPECT_NE(sdf.out.find(">  <name>\r\nphenol\r\n\r\n>  <formula>\r\nC6H6O\r\n"),
            std::string::npos);

  const Result csv = Cli({"search", "--format=csv", "--smiles", "c1ccccc1O"});
  EXPECT_EQ(csv.status, 0);
  const std::vector<std::string> rows = Lines(csv.out);
  ASSERT_EQ(rows.size(), names.size() + 1);
  EXPECT_EQ(rows[0], "name,formula,weight\r");

  const Result json = Cli({"search", "--format", "json", "--smiles", "c1ccccc1O"});
  EXPECT_EQ(Lines(json.out).size(), names.size());

  // A hit whose MOL file is missing is written without its structure, with
  // the database's formula and weight, reported, and the run fails.
  const Result noMol =
      Cli({"search", "--mol-dir", "/nonexistent", "--format", "sdf", "--smiles", "c1ccccc1O"});
  EXPECT_EQ(noMol.status, 1);
  EXPECT_EQ(Count(noMol.out, "$$$$\r\n"), names.size());
  EXPECT_NE(noMol.out.find("phenol\r\n\r\n\r\n  0  0  0  0  0  0  0  0  0  0999 V2000\r\nM  END\r\n"
                           ">  <name>\r\nphenol\r\n\r\n>  <formula>\r\nC6H6O\r\n\r\n>  <weight>\r\n"
                           "94.11\r\n\r\n>  <error>\r\nファイルがありません\r\n"),
            std::string::npos);
  EXPECT_NE(noMol.err.find("phenol: ファイルがありません"), std::string::npos);

  EXPECT_EQ(Cli({"search", "--format", "xml", "--smiles", "C"}).status, 2);
  EXPECT_EQ(Cli({"search", "--smiles", "C", "--format"}).status, 2);
}

}  // namespace
}  // namespace vuduzez
