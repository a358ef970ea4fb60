// End-to-end tests of the database subcommands of vuduzez-cli: register the
// sample MOL files into a fresh copy of the sample workspace, search it, list,
// delete and rewrite, run in that folder as a user would.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/cli_runner.h"
#include "support/mol_text.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

using Result = testing::CliResult;
using testing::Lines;

// Runs vuduzez-cli in folder with the arguments; both streams kept apart.
Result Cli(const std::string& folder, const std::vector<std::string>& args,
           const std::string& input = {}) {
  return testing::RunCli(args, testing::InFolder(folder, input));
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A copy of sample/ with an empty database.
class Workspace : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path sample = fs::path(VUDUZEZ_SOURCE_DIR) / "sample";
    fs::copy(sample / "mol", ws / "mol", fs::copy_options::recursive);
    fs::copy(sample / "queries", ws / "queries", fs::copy_options::recursive);
    fs::copy_file(sample / "vuduzez.ini", ws / "vuduzez.ini");
    WriteFile(ws / "compounds.txt", "");
    molCount = static_cast<int>(std::distance(fs::directory_iterator(ws / "mol"), {}));
  }
  TempFolder ws;
  int molCount = 0;
};

TEST_F(Workspace, RegisterThenSearchTheSample) {
  Result reg = Cli(ws.path(), {"register"});
  ASSERT_EQ(reg.status, 0) << reg.err;
  const auto lines = Lines(reg.out);
  EXPECT_TRUE(Has(lines, "registered\tbenzene.mol"));
  EXPECT_EQ(lines.back(),
            std::to_string(molCount) +
                " registered, 0 already registered, 0 refused, 0 skipped, 0 same structure");
  EXPECT_NE(reg.err.find("変換終了"), std::string::npos);
  // One MOL file instead of a folder is named as such, and nothing changes.
  Result file = Cli(ws.path(), {"register", "--db", "other.txt", "mol/benzene.mol"});
  EXPECT_EQ(file.status, 1);
  EXPECT_NE(file.err.find("mol/benzene.mol はフォルダではありません"), std::string::npos)
      << file.err;
  EXPECT_FALSE(fs::exists(ws / "other.txt"));

  // The same database as the committed sample, byte for byte.
  EXPECT_EQ(ReadFile(ws / "compounds.txt"),
            ReadFile(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/compounds.txt"))
      << "sample/compounds.txt is stale: in sample/, empty it and run vuduzez-cli register";

  Result benz = Cli(ws.path(), {"search", "queries/benzene_ring.mol"});
  ASSERT_EQ(benz.status, 0) << benz.err;
  const auto hits = Lines(benz.out);
  EXPECT_TRUE(Has(hits, "benzene"));
  EXPECT_TRUE(Has(hits, "phenol"));
  EXPECT_TRUE(Has(hits, "aspirin"));
  EXPECT_FALSE(Has(hits, "cyclohexane"));
  EXPECT_FALSE(Has(hits, "pyridine"));
  EXPECT_TRUE(std::is_sorted(hits.begin(), hits.end()));  // database order is name order here
  EXPECT_NE(benz.err.find(std::to_string(hits.size()) + " hits of " + std::to_string(molCount)),
            std::string::npos);

  // Explaining gives one line per record and marks the same hits.
  Result why = Cli(ws.path(), {"search", "--explain", "queries/benzene_ring.mol"});
  ASSERT_EQ(why.status, 0);
  const auto verdicts = Lines(why.out);
  EXPECT_EQ(static_cast<int>(verdicts.size()), molCount);
  EXPECT_EQ(std::count_if(verdicts.begin(), verdicts.end(),
                          [](const std::string& l) { return l.ends_with("\thit"); }),
            static_cast<long>(hits.size()));
  EXPECT_TRUE(Has(verdicts, "cyclohexane\tpath code 1 of 1 not found: C@C@C@C@C@C@6"));
  EXPECT_TRUE(Has(verdicts, "methanol\tweight 32 < 78"));

  // Registering again stores nothing.
  const std::string before = ReadFile(ws / "compounds.txt");
  Result again = Cli(ws.path(), {"register", "mol"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(Lines(again.out).back(),
            "0 registered, " + std::to_string(molCount) +
                " already registered, 0 refused, 0 skipped, 0 same structure");
  EXPECT_EQ(ReadFile(ws / "compounds.txt"), before);
}

TEST_F(Workspace, IdentitySearchDuplicatesAndRepeatedStructures) {
  ASSERT_EQ(Cli(ws.path(), {"register"}).status, 0);
  // Aspirin itself, and as its sodium salt; ibuprofen and its S form.
  Result id = Cli(ws.path(), {"search", "--identity", "--smiles", "CC(=O)Oc1ccccc1C(=O)O",
                              "CC(=O)Oc1ccccc1C(=O)[O-].[Na+]", "CC(C)Cc1ccc(C(C)C(=O)O)cc1"});
  EXPECT_EQ(id.status, 0) << id.err;
  EXPECT_EQ(Lines(id.out),
            (std::vector<std::string>{"CC(=O)Oc1ccccc1C(=O)O\taspirin\texact",
                                      "CC(=O)Oc1ccccc1C(=O)[O-].[Na+]\taspirin\tparent",
                                      "CC(C)Cc1ccc(C(C)C(=O)O)cc1\tibuprofen\texact",
                                      "CC(C)Cc1ccc(C(C)C(=O)O)cc1\ts_ibuprofen\tnostereo"}));
  EXPECT_EQ(Cli(ws.path(), {"search", "--identity", "--exact", "--smiles", "C"}).status, 2);

  EXPECT_EQ(Cli(ws.path(), {"duplicates"}).out, "");
  const Result nostereo = Cli(ws.path(), {"duplicates", "--level=nostereo"});
  EXPECT_EQ(nostereo.out, "CC(C)Cc1ccc(C(C)C(=O)O)cc1\tibuprofen\ts_ibuprofen\n");
  EXPECT_EQ(Cli(ws.path(), {"duplicates", "--level", "salt"}).status, 2);

  // A file of a registered structure: registered and named, or left out.
  fs::create_directory(ws / "more");
  fs::copy_file(ws / "mol/phenol.mol", ws / "more/carbolic_acid.mol");
  const Result named = Cli(ws.path(), {"register", "more"});
  EXPECT_TRUE(Has(Lines(named.out),
                  "registered\tcarbolic_acid.mol\t同じ構造が phenol として登録されています"));
  EXPECT_TRUE(fs::exists(ws / "mol/carbolic_acid.mol"));  // brought into the MOL folder
  fs::copy_file(ws / "mol/phenol.mol", ws / "more/phenol2.mol");
  const Result skipped = Cli(ws.path(), {"register", "--skip-same-structure", "more"});
  EXPECT_TRUE(Has(Lines(skipped.out),
                  "same structure\tphenol2.mol\t同じ構造が phenol、carbolic_acid "
                  "として登録されています"));
  EXPECT_FALSE(Has(Lines(Cli(ws.path(), {"list"}).out), "phenol2.mol"));
}

TEST_F(Workspace, ListDeleteAndRewrite) {
  ASSERT_EQ(Cli(ws.path(), {"register"}).status, 0);
  Result list = Cli(ws.path(), {"list"});
  EXPECT_EQ(static_cast<int>(Lines(list.out).size()), molCount);
  EXPECT_TRUE(Has(Lines(list.out), "benzene.mol"));

  // Deletion takes the MOL file into the trash: a batch run does not bring
  // the compound back, and restore does.
  Result del = Cli(ws.path(), {"delete", "benzene.mol"});
  EXPECT_EQ(del.status, 0);
  EXPECT_EQ(del.out,
            "benzene.molを削除しました\nMOLファイルを削除済みフォルダに移しました: "
            "mol/削除済み/benzene.mol\n");
  EXPECT_FALSE(std::filesystem::exists(ws / "mol/benzene.mol"));
  EXPECT_EQ(Cli(ws.path(), {"register"}).status, 0);
  EXPECT_FALSE(Has(Lines(Cli(ws.path(), {"list"}).out), "benzene.mol"));
  EXPECT_FALSE(Has(Lines(Cli(ws.path(), {"search", "queries/benzene_ring.mol"}).out), "benzene"));
  Result restore = Cli(ws.path(), {"restore", "benzene.mol"});
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(restore.out, "benzene.molを復元しました\n");
  EXPECT_TRUE(Has(Lines(Cli(ws.path(), {"search", "queries/benzene_ring.mol"}).out), "benzene"));
  EXPECT_EQ(Cli(ws.path(), {"restore", "benzene.mol"}).status, 1);  // registered again
  ASSERT_EQ(Cli(ws.path(), {"delete", "benzene.mol"}).status, 0);

  Result rw = Cli(ws.path(), {"rewrite"});
  EXPECT_EQ(rw.status, 0);
  EXPECT_NE(rw.err.find("warning"), std::string::npos);
  EXPECT_EQ(rw.out, "変換をを終了しました\n");
  EXPECT_NE(ReadFile(ws / "compounds.txt").find("X6"), std::string::npos);
  // The query key is not abbreviated: the rewritten rings no longer match.
  Result after = Cli(ws.path(), {"search", "queries/benzene_ring.mol"});
  EXPECT_EQ(after.status, 0);
  EXPECT_EQ(after.out, "");
  EXPECT_NE(after.err.find("一致する化合物はありません"), std::string::npos);
}

TEST_F(Workspace, QueryWithoutBondsHitsEveryScreenedRecord) {
  ASSERT_EQ(Cli(ws.path(), {"register"}).status, 0);
  WriteFile(ws / "water.mol",
            "water.mol\r\n  x\r\n\r\n  1  0  0  0  0  0  0  0  0  0999 V2000\r\n"
            "    0.0000    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\r\nM  END\r\n");
  Result water = Cli(ws.path(), {"search", "--explain", "water.mol"});
  ASSERT_EQ(water.status, 0) << water.err;
  // No path codes: a record is a hit exactly when it has an oxygen and weighs 18 or more.
  for (const std::string& line : Lines(water.out)) {
    EXPECT_TRUE(line.ends_with("\thit") || line.ends_with("\tO 0 < 1")) << line;
  }
  EXPECT_TRUE(Has(Lines(water.out), "ethanol\thit"));
  EXPECT_TRUE(Has(Lines(water.out), "benzene\tO 0 < 1"));
}

TEST_F(Workspace, ExactSearchGivesRdkitsHitsAndDrawsTheMatch) {
  ASSERT_EQ(Cli(ws.path(), {"register"}).status, 0);
  // C-C(=O)-C: RDKit's hits (camphor among them, when it has its MOL file).
  WriteFile(ws / "ketone.mol",
            "ketone.mol\r\n  x\r\n\r\n  4  3  0  0  0  0  0  0  0  0999 V2000\r\n"
            "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
            "    1.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
            "    1.0000    1.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
            "    2.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\r\n"
            "  1  2  1  0\r\n  2  3  2  0\r\n  2  4  1  0\r\nM  END\r\n");
  fs::remove(ws / "mol/camphor.mol");
  Result exact = Cli(ws.path(), {"search", "--exact", "ketone.mol"});
  ASSERT_EQ(exact.status, 0) << exact.err;
  EXPECT_EQ(Lines(exact.out), (std::vector<std::string>{"acetone", "acetophenone", "erythromycin",
                                                        "testosterone", "warfarin"}));
  EXPECT_NE(exact.err.find("unconfirmed: camphor: "), std::string::npos);
  EXPECT_NE(exact.err.find("5 hits of " + std::to_string(molCount) + " records ("),
            std::string::npos);
  EXPECT_NE(exact.err.find(" screened, 1 unconfirmed)"), std::string::npos);
  Result why = Cli(ws.path(), {"search", "--exact", "--explain", "ketone.mol"});
  const auto verdicts = Lines(why.out);
  EXPECT_TRUE(Has(verdicts, "acetone\thit"));
  EXPECT_TRUE(Has(verdicts, "acetic_acid\tno atom-by-atom match") ||
              Has(verdicts, "acetic_acid\tscreened out"));
  EXPECT_TRUE(Has(verdicts, "methanol\tscreened out"));
  EXPECT_EQ(
      std::count_if(verdicts.begin(), verdicts.end(),
                    [](const std::string& l) { return l.starts_with("camphor\tunconfirmed: "); }),
      1);
  // SMARTS, and stereo matched when asked (by RDKit's matcher).
  EXPECT_EQ(Lines(Cli(ws.path(), {"search", "--smarts", "[#6][CX3](=O)[OX2H1]"}).out).size(), 15u);
  EXPECT_EQ(Lines(Cli(ws.path(), {"search", "--smiles", "C[C@H](N)C(=O)O", "--exact"}).out).size(),
            4u);
  EXPECT_EQ(Lines(Cli(ws.path(), {"search", "--smiles", "C[C@H](N)C(=O)O", "--chiral"}).out),
            (std::vector<std::string>{"l_alanine", "l_cysteine", "l_phenylalanine"}));
  Result bad = Cli(ws.path(), {"search", "--smarts", "[#6"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("検索構造を解釈できません"), std::string::npos);
  // Without --exact: the screen alone, as before.
  EXPECT_EQ(Lines(Cli(ws.path(), {"search", "ketone.mol"}).out).size(), 21u);

  // The drawing marks the matched atoms and bonds; a non-match says so.
  Result lit = Cli(ws.path(), {"draw", "--highlight", "ketone.mol", "--ops", "mol/acetone.mol"});
  ASSERT_EQ(lit.status, 0) << lit.err;
  EXPECT_NE(lit.out.find("pencolor highlight"), std::string::npos);
  EXPECT_NE(lit.out.find("textcolor highlight"), std::string::npos);
  Result plain = Cli(ws.path(), {"draw", "--ops", "mol/acetone.mol"});
  EXPECT_EQ(plain.out.find("color"), std::string::npos);
  Result none = Cli(ws.path(), {"draw", "--highlight", "ketone.mol", "--ops", "mol/cocaine.mol"});
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.err.find("no atom-by-atom match"), std::string::npos);
}

// A query of many identical pieces: a chain that holds them is found at
// once; a branched alkane that cannot hold them (no twelve separate bonds)
// is given up after its steps, named and counted as unconfirmed; the command
// ends (Cli gives it a minute).
TEST_F(Workspace, ManyIdenticalPiecesAreConfirmedOrGivenUpNeverEndless) {
  TempFolder alkanes;
  fs::create_directory(alkanes / "mol");
  std::vector<testing::TestBond> chain;
  for (int a = 1; a < 40; ++a) chain.push_back({a, a + 1});
  WriteFile(alkanes / "mol/tetracontane.mol",
            testing::MolText("tetracontane", testing::Atoms(40), chain));
  // Three generations of three branches on one carbon, and a methyl on it.
  std::vector<testing::TestBond> tree{{1, 2}};
  int next = 3;
  std::vector<int> level{2};
  for (int generation = 0; generation < 3; ++generation) {
    std::vector<int> children;
    for (int parent : level) {
      for (int k = 0; k < 3; ++k) {
        tree.push_back({parent, next});
        children.push_back(next++);
      }
    }
    level = children;
  }
  WriteFile(alkanes / "mol/branched.mol",
            testing::MolText("branched", testing::Atoms(next - 1), tree));
  WriteFile(alkanes / "db.txt", "");
  ASSERT_EQ(Cli(alkanes.path(), {"register", "--db", "db.txt", "mol"}).status, 0);

  std::string pieces = "CC";
  for (int k = 1; k < 12; ++k) pieces += ".CC";
  const Result r = Cli(alkanes.path(), {"search", "--db", "db.txt", "--mol-dir", "mol", "--exact",
                                        "--smiles", pieces});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), std::vector<std::string>{"tetracontane"});
  EXPECT_NE(r.err.find("unconfirmed: branched: 照合を打ち切りました"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 hits of 2 records (2 screened, 1 unconfirmed)"), std::string::npos)
      << r.err;
}

TEST_F(Workspace, JapaneseNamesOverridesAndErrors) {
  fs::create_directory(ws / "其の他");
  fs::copy_file(ws / "mol/phenol.mol", ws / "其の他/フェノール.mol");
  WriteFile(ws / "其の他/readme.txt", "not a molecule\n");
  WriteFile(ws / "other.txt", "");
  Result reg = Cli(ws.path(), {"register", "--db", "other.txt", "其の他"});
  EXPECT_EQ(reg.status, 1) << reg.err;  // a file was refused
  EXPECT_EQ(Lines(reg.out).back(),
            "1 registered, 0 already registered, 1 refused, 0 skipped, 0 same structure");
  EXPECT_TRUE(Has(Lines(reg.out), "registered\tフェノール.mol"));
  EXPECT_TRUE(Has(Lines(reg.out), "refused\treadme.txt\tChemDrawのファイルではありません"));
  EXPECT_EQ(Lines(Cli(ws.path(), {"list", "--db=other.txt"}).out),
            std::vector<std::string>{"フェノール.mol"});
  EXPECT_EQ(ReadFile(ws / "compounds.txt"), "");  // the ini's database untouched

  // A database that cannot be written: exit 1. A missing ini: exit 2 with a reason.
  Result missing = Cli(ws.path(), {"register", "--db", "nothing.txt", "其の他"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("ファイルが見つかりません"), std::string::npos);
  fs::remove(ws / "vuduzez.ini");
  Result noIni = Cli(ws.path(), {"list"});
  EXPECT_EQ(noIni.status, 2);
  EXPECT_NE(noIni.err.find("vuduzez.ini"), std::string::npos);
  EXPECT_EQ(Cli(ws.path(), {"search", "--db", "other.txt", "--bogus", "q.mol"}).status, 2);
  EXPECT_EQ(Cli(ws.path(), {"search", "--db", "other.txt", "queries/benzene_ring.mol"}).status, 0);
  EXPECT_EQ(Cli(ws.path(), {"search", "--db", "other.txt", "queries/none.mol"}).status, 1);
}

TEST_F(Workspace, AbsentNamesReadOnlyDatabasesAndSpecialFilesFailAtOnce) {
  ASSERT_EQ(Cli(ws.path(), {"register"}).status, 0);
  const std::string before = ReadFile(ws / "compounds.txt");
  Result absent = Cli(ws.path(), {"delete", "nothing.mol"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_NE(absent.err.find("nothing.molはデータベースにありません"), std::string::npos);
  EXPECT_EQ(absent.out, "");

  // Names with line breaks are refused, and printed on one line.
  fs::create_directory(ws / "bad");
  fs::copy_file(ws / "mol/phenol.mol", ws / "bad/new\nline.mol");
  Result bad = Cli(ws.path(), {"register", "bad"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(Lines(bad.out),
            (std::vector<std::string>{
                "refused\tnew\\nline.mol\t化合物名「new\\nline.mol」に制御文字"
                "（改行・タブなど）が含まれています。登録しませんでした",
                "0 registered, 0 already registered, 1 refused, 0 skipped, 0 same structure"}));
  EXPECT_EQ(ReadFile(ws / "compounds.txt"), before);

  ASSERT_EQ(::chmod((ws / "compounds.txt").c_str(), 0444), 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"delete", "benzene.mol"}, {"rewrite"}, {"register", "queries"}}) {
    Result r = Cli(ws.path(), args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find("読み取り専用"), std::string::npos) << args[0] << ": " << r.err;
  }
  EXPECT_EQ(ReadFile(ws / "compounds.txt"), before);
  EXPECT_EQ(Cli(ws.path(), {"list"}).status, 0);

  // FIFOs as database, settings file, query and MOL file: refused, never waited on.
  ASSERT_EQ(::mkfifo((ws / "fifo").c_str(), 0600), 0);
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"list", "--db", "fifo"},
                                             {"search", "--db", "fifo", "queries/benzene_ring.mol"},
                                             {"register", "--db", "fifo", "mol"},
                                             {"delete", "--db", "fifo", "benzene.mol"},
                                             {"rewrite", "--db", "fifo"},
                                             {"key", "fifo"}}) {
    Result r = Cli(ws.path(), args);
    EXPECT_EQ(r.status, 1) << args[0] << ": " << r.err;
    EXPECT_NE(r.err.find("通常のファイルではありません"), std::string::npos) << r.err;
  }
  fs::rename(ws / "fifo", ws / "queries/fifo");
  Result query = Cli(ws.path(), {"search", "queries/fifo"});
  EXPECT_EQ(query.status, 1);
  EXPECT_NE(query.err.find("通常のファイルではありません"), std::string::npos) << query.err;
  fs::remove(ws / "vuduzez.ini");
  ASSERT_EQ(::mkfifo((ws / "vuduzez.ini").c_str(), 0600), 0);
  Result ini = Cli(ws.path(), {"list"});
  EXPECT_EQ(ini.status, 1);
  EXPECT_NE(ini.err.find("通常のファイルではありません"), std::string::npos) << ini.err;
}

}  // namespace
}  // namespace vuduzez
