// vuduzez-cli in a shell pipeline: help on stdout, queries from standard input
// and from files of several queries (with the query column in every format),
// the export of the whole database, and the workspace found in the XDG config
// folder. Run on the bundled sample, which searching and exporting only read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/json_reader.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::CliResult;
using testing::Lines;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::string kSample = std::string(VUDUZEZ_SOURCE_DIR) + "/sample";

CliResult InSample(const std::vector<std::string>& args, const std::string& input = {}) {
  return testing::RunCli(args, testing::InFolder(kSample, input));
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(CliPipeline, HelpGoesToStdoutAndEveryCommandHasOne) {
  const CliResult all = InSample({"--help"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.err, "");
  for (const char* command :
       {"key", "search", "export", "register", "import", "list", "delete", "rewrite", "draw"}) {
    EXPECT_NE(all.out.find(std::string("vuduzez-cli ") + command), std::string::npos) << command;
    const CliResult one = InSample({command, "--help"});
    EXPECT_EQ(one.status, 0) << command;
    EXPECT_EQ(one.out.rfind(std::string("usage: vuduzez-cli ") + command, 0), 0u) << one.out;
    EXPECT_EQ(one.err, "") << command;
  }
  // Bad usage still goes to stderr with status 2.
  const CliResult bad = InSample({"search"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("usage"), std::string::npos);
}

TEST(CliPipeline, StandardInputInEveryFormAndOptionsWithEquals) {
  const CliResult byFile = InSample({"search", "queries/carboxylic_acid.mol"});
  ASSERT_EQ(byFile.status, 0) << byFile.err;
  ASSERT_FALSE(byFile.out.empty());
  // A MOL file on stdin is the same query, printed the same way (no query column).
  const CliResult mol =
      InSample({"search", "-"}, ReadFile(kSample + "/queries/carboxylic_acid.mol"));
  EXPECT_EQ(mol.status, 0) << mol.err;
  EXPECT_EQ(mol.out, byFile.out);
  // --smiles=X, and SMILES lines on stdin with --smiles -.
  const CliResult attached = InSample({"search", "--smiles=C(=O)O"});
  EXPECT_EQ(attached.out, byFile.out);
  const CliResult lines = InSample({"search", "--smiles", "-"}, "C(=O)O acid\n");
  EXPECT_EQ(lines.status, 0) << lines.err;
  EXPECT_EQ(Lines(lines.out).size(), Lines(byFile.out).size());
  EXPECT_EQ(lines.out.rfind("acid\t", 0), 0u) << lines.out;
  // An SD file on stdin imports; its records without a title are named after stdin.
  TempFolder ws;
  WriteFile(ws / "db.txt", "");
  const CliResult sd = InSample({"search", "--format=sdf", "queries/carboxylic_acid.mol"});
  const CliResult import =
      testing::RunCli({"import", "--db=" + ws / "db.txt", "--mol-dir=" + ws.path(), "-"},
                      testing::InFolder(ws.path(), sd.out));
  EXPECT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(Lines(ReadFile(ws / "db.txt")).size(), 4 * Lines(byFile.out).size());
}

TEST(CliPipeline, SeveralQueriesSayWhichQueryFoundEachHit) {
  TempFolder tmp;
  WriteFile(tmp / "q.smi", "# two queries\nc1ccccc1 benzene\n\nC(=O)O acid\n");
  const CliResult single = InSample({"search", "--smiles", "C(=O)O"});
  const CliResult names = InSample({"search", tmp / "q.smi"});
  ASSERT_EQ(names.status, 0) << names.err;
  size_t acid = 0;
  for (const std::string& line : Lines(names.out)) {
    ASSERT_TRUE(line.rfind("benzene\t", 0) == 0 || line.rfind("acid\t", 0) == 0) << line;
    acid += line.rfind("acid\t", 0) == 0;
  }
  EXPECT_EQ(acid, Lines(single.out).size());
  EXPECT_NE(names.err.find("acid: "), std::string::npos);

  // The same queries as an SD file (its titles name them), in every format.
  WriteFile(tmp / "q.sdf", ReadFile(kSample + "/queries/benzene_ring.mol") + "$$$$\n" +
                               ReadFile(kSample + "/queries/carboxylic_acid.mol") + "$$$$\n");
  const CliResult csv = InSample({"search", "--format=csv", tmp / "q.sdf"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(Lines(csv.out)[0], "query,name,formula,weight\r");
  EXPECT_EQ(Lines(csv.out).size(), 1 + Lines(names.out).size());
  const CliResult json = InSample({"search", "--format", "json", tmp / "q.sdf"});
  const std::vector<testing::Json> objects = testing::JsonLines(json.out);
  ASSERT_EQ(objects.size(), Lines(names.out).size());
  EXPECT_TRUE(objects[0]["query"].is_string());
  EXPECT_TRUE(objects[0]["weight"].is_number()) << json.out.substr(0, 200);
  const CliResult sdf = InSample({"search", "--format", "sdf", tmp / "q.sdf"});
  EXPECT_EQ(Count(sdf.out, ">  <query>"), objects.size());

  // A record that is no structure is reported, the others searched, status 1.
  WriteFile(tmp / "bad.sdf", "not a molecule\n$$$$\n" +
                                 ReadFile(kSample + "/queries/carboxylic_acid.mol") + "$$$$\n");
  const CliResult bad = InSample({"search", tmp / "bad.sdf"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(Lines(bad.out).size(), Lines(single.out).size());
}

TEST(CliPipeline, SimilarCompoundsRankedWithTheirScoreInEveryFormat) {
  // RDKit's scores (BulkTanimotoSimilarity) as Python prints them.
  const CliResult names = InSample({"search", "--similar", "--top", "3", "--smiles", "Oc1ccccc1"});
  ASSERT_EQ(names.status, 0) << names.err;
  EXPECT_EQ(names.out,
            "phenol\t1\nbiphenyl\t0.42857142857142855\nbenzoic_acid\t0.3888888888888889\n");
  EXPECT_NE(names.err.find("3 hits of 93 records"), std::string::npos) << names.err;
  // The default threshold 0.7: phenol alone; a lower one, more.
  EXPECT_EQ(InSample({"search", "--similar", "--smiles=Oc1ccccc1"}).out, "phenol\t1\n");
  const CliResult csv = InSample(
      {"search", "--similar", "--threshold=0.38", "--format=csv", "--smiles", "Oc1ccccc1"});
  EXPECT_EQ(Lines(csv.out)[0], "name,formula,weight,similarity\r");
  EXPECT_EQ(Lines(csv.out)[3], "benzoic_acid,C7H6O2,122.12,0.3888888888888889\r");
  EXPECT_EQ(Lines(csv.out).size(), 5u);  // salicylic acid (8/21) too, not aniline (6/16)
  const CliResult json = InSample({"search", "--similar", "--top=2", "--format", "json",
                                   "queries/carboxylic_acid.mol", "queries/benzene_ring.mol"});
  const std::vector<testing::Json> objects = testing::JsonLines(json.out);
  ASSERT_EQ(objects.size(), 4u) << json.out;
  EXPECT_TRUE(objects[0]["query"].is_string());
  EXPECT_TRUE(objects[0]["similarity"].is_number()) << json.out;
  const CliResult sdf =
      InSample({"search", "--similar", "--top", "1", "--format", "sdf", "--smiles", "CCO"});
  EXPECT_NE(sdf.out.find(">  <similarity>\r\n1\r\n"), std::string::npos) << sdf.out;
  // What makes no similarity search is bad usage.
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--similar", "--threshold", "1.5"},
        {"--similar", "--threshold", "x"},
        {"--similar", "--top", "0"},
        {"--similar", "--top="},
        {"--similar", "--exact"},
        {"--similar", "--explain"},
        {"--threshold", "0.5"}}) {
    std::vector<std::string> args = {"search"};
    args.insert(args.end(), bad.begin(), bad.end());
    args.insert(args.end(), {"--smiles", "CCO"});
    EXPECT_EQ(InSample(args).status, 2) << bad[0] << " " << bad[1];
  }
  const CliResult smarts = InSample({"search", "--similar", "--smarts", "[#6]"});
  EXPECT_EQ(smarts.status, 2);
}

TEST(CliPipeline, ExportWritesTheWholeDatabase) {
  const CliResult list = InSample({"list"});
  const size_t records = Lines(list.out).size();
  ASSERT_GT(records, 0u);
  const CliResult sdf = InSample({"export"});
  EXPECT_EQ(sdf.status, 0) << sdf.err;
  EXPECT_EQ(Count(sdf.out, "$$$$\r\n"), records);
  const CliResult json = InSample({"export", "--format=json"});
  const std::vector<testing::Json> objects = testing::JsonLines(json.out);
  ASSERT_EQ(objects.size(), records);
  for (const testing::Json& o : objects) EXPECT_TRUE(o["weight"].is_number()) << o.dump();

  // -o FILE: the same bytes in a file.
  TempFolder tmp;
  const CliResult toFile = InSample({"export", "-o", tmp / "all.sdf"});
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(ReadFile(tmp / "all.sdf"), sdf.out);
  // A missing MOL file is reported and makes the status 1; every record is
  // written all the same, and the count says how many.
  const CliResult missing = InSample({"export", "--mol-dir", tmp.path()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(Count(missing.out, "$$$$\r\n"), records);
  EXPECT_NE(missing.err.find(std::to_string(records) + " compounds written, " +
                             std::to_string(records) + " of them without a structure"),
            std::string::npos);
}

TEST(CliPipeline, WorkspaceFoundInTheXdgConfigFolder) {
  TempFolder home;
  const std::string config = home / "config";
  WriteFile(home / "db.txt", ReadFile(kSample + "/compounds.txt"));
  std::filesystem::create_directories(config + "/vuduzez");
  // Relative paths are taken from the ini's own folder.
  WriteFile(config + "/vuduzez/vuduzez.ini",
            "[mdatafilename]\r\n../../db.txt\r\n[basedir1]\r\n" + kSample + "/mol\r\n");
  const CliResult list = testing::RunCli(
      {"list"},
      testing::InFolder(home.path(), {}, {{"XDG_CONFIG_HOME", config}, {"HOME", home.path()}}));
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, InSample({"list"}).out);
  // Without one, the message names the folders looked in.
  const CliResult none = testing::RunCli(
      {"list"}, testing::InFolder(home.path(), {},
                                  {{"XDG_CONFIG_HOME", home / "nothing"}, {"HOME", home.path()}}));
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find(home / "nothing/vuduzez"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace vuduzez
