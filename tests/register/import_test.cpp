// SD file import on temporary folders: records become MOL files and records of
// the database, named by a data item, the title line or the SD file's name;
// names that cannot be file names, clashing MOL files, V3000 records; the
// export of a search imports back to the same records.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "database/database.h"
#include "database/mol_files.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "register/batch.h"
#include "register/import.h"
#include "register/prepare.h"
#include "search/hit_export.h"
#include "search/screening.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::string kSample = std::string(VUDUZEZ_SOURCE_DIR) + "/sample";

std::string SampleMol(const std::string& name) { return ReadFile(kSample + "/mol/" + name); }

// A MOL file's text with another title line and LF line ends.
std::string WithTitle(std::string mol, const std::string& title, bool crlf = true) {
  mol = title + mol.substr(mol.find("\r\n"));
  if (!crlf) {
    std::string lf;
    for (char c : mol) {
      if (c != '\r') lf += c;
    }
    return lf;
  }
  return mol;
}

std::string Record(const std::string& mol, const std::string& data = "") {
  const std::string eol = mol.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  return mol + data + "$$$$" + eol;
}

// Acetate, as V3000 writers write it.
const char* kV3000 =
    "v3\r\n  x\r\n\r\n  0  0  0     0  0            999 V3000\r\nM  V30 BEGIN CTAB\r\n"
    "M  V30 COUNTS 4 3 0 0 0\r\nM  V30 BEGIN ATOM\r\nM  V30 1 C 0 0 0 0\r\n"
    "M  V30 2 C 1.3 0.75 0 0\r\nM  V30 3 O 2.6 0 0 0\r\nM  V30 4 O 1.3 2.25 0 0 CHG=-1\r\n"
    "M  V30 END ATOM\r\nM  V30 BEGIN BOND\r\nM  V30 1 1 1 2\r\nM  V30 2 2 2 3\r\n"
    "M  V30 3 1 2 4\r\nM  V30 END BOND\r\nM  V30 END CTAB\r\nM  END\r\n";

class Import : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(molDir);
    WriteFile(db, "");
  }
  ImportSummary Run(const std::string& sdText, const std::string& field = "") {
    WriteFile(sd, sdText);
    records.clear();
    return ImportSdFile(sd, db, molDir, field, mol, ui,
                        [this](const ImportRecord& r) { records.push_back(r); });
  }
  std::vector<std::string> Names() { return LoadNameList(db); }
  std::vector<std::string> Messages() {
    std::vector<std::string> m;
    for (const ImportRecord& r : records) {
      if (!r.message.empty()) m.push_back(r.message);
    }
    return m;
  }

  TempFolder dir;
  std::string molDir = dir / "mol";
  std::string db = dir / "compounds.txt";
  std::string sd = dir / "catalogue.v2.sdf";
  Molecule mol;
  RecordingSink ui;
  std::vector<ImportRecord> records;
};

TEST_F(Import, RecordsBecomeMolFilesAndRecordsAsBatchRegistrationMakesThem) {
  // Windows line ends, then Unix line ends, in one file.
  const std::string benzene = WithTitle(SampleMol("benzene.mol"), "benzene");
  const std::string phenolLf = WithTitle(SampleMol("phenol.mol"), "phenol.mol", false);
  const ImportSummary s =
      Run(Record(benzene, ">  <ID>\r\nB-1\r\n\r\n") + Record(phenolLf, "> <ID>\n\n"), "ID");
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.registered, 2);
  // The item names the first; the second has a blank item and keeps its title.
  EXPECT_EQ(Names(), (std::vector<std::string>{"B-1.mol", "phenol.mol"}));
  // The data items stay beside the structure, after its "M  END".
  EXPECT_EQ(ReadFile(molDir + "/B-1.mol"), benzene + ">  <ID>\r\nB-1\r\n\r\n");
  EXPECT_EQ(ReadFile(molDir + "/phenol.mol"),
            WithTitle(SampleMol("phenol.mol"), "phenol.mol") +  // lines end in CR LF
                "> <ID>\r\n\r\n\r\n");

  // The same records as batch registration of the MOL files writes.
  TempFolder other;
  fs::create_directory(other / "mols");
  WriteFile(other / "mols/B-1.mol", ReadFile(molDir + "/B-1.mol"));
  WriteFile(other / "mols/phenol.mol", ReadFile(molDir + "/phenol.mol"));
  WriteFile(other / "db.txt", "");
  RecordingSink quiet;
  BatchRegister(other / "mols", other / "db.txt", mol, quiet);
  EXPECT_EQ(ReadFile(db), ReadFile(other / "db.txt"));

  EXPECT_EQ(ui.messages, std::vector<std::string>{"SDファイルの登録を終了しました"});
  EXPECT_EQ(ui.progress.back(), std::make_pair(1000, 1000));

  // A second run finds both registered and writes nothing.
  const std::string before = ReadFile(db);
  const ImportSummary again =
      Run(Record(benzene, ">  <ID>\r\nB-1\r\n\r\n") + Record(phenolLf), "ID");
  EXPECT_EQ(again.alreadyRegistered, 2);
  EXPECT_EQ(ReadFile(db), before);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"レコード 1: B-1.molは登録済みです",
                                                  "レコード 2: phenol.molは登録済みです"}));
}

TEST_F(Import, NamesThatCannotBeFileNamesOrCp932AreRefused) {
  const std::string b = SampleMol("benzene.mol");
  const ImportSummary s = Run(
      Record(WithTitle(b, "a/b")) + Record(WithTitle(b, "..")) + Record(WithTitle(b, "😀")) +
      Record(WithTitle(b, std::string("nu\0l", 4))) + Record(WithTitle(b, std::string(300, 'x'))) +
      Record(WithTitle(b, "Lot 1.3")) +                // its dots kept
      Record(WithTitle(b, "  ")) +                     // the SD file's name instead
      Record(WithTitle(b, *Utf8ToAnsi("ベンゼン"))) +  // CP932 bytes
      Record(WithTitle(b, "ベンゼン")) +               // the same name in UTF-8
      Record(WithTitle(b, "Lot 1.4")));                // no clash with record 6
  EXPECT_EQ(s.refused, 5);
  EXPECT_EQ(s.registered, 4);
  EXPECT_EQ(s.alreadyRegistered, 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Lot 1.3.mol", "catalogue_7.mol",
                                               *Utf8ToAnsi("ベンゼン.mol"), "Lot 1.4.mol"}));
  EXPECT_TRUE(fs::exists(fs::u8path(molDir + "/ベンゼン.mol")));
  EXPECT_EQ(HitMolPath(molDir, "Lot 1.3"), molDir + "/Lot 1.3.mol");
  const std::vector<std::string> m = Messages();
  ASSERT_EQ(m.size(), 6u);
  EXPECT_EQ(m[0], "レコード 1: " + NameSlashMessage("a/b"));
  EXPECT_NE(m[1].find("は空です"), std::string::npos);
  EXPECT_NE(m[2].find("Shift-JISで書けない"), std::string::npos);
  EXPECT_NE(m[3].find("制御文字"), std::string::npos);
  EXPECT_NE(m[4].find("長すぎます"), std::string::npos);
  EXPECT_EQ(m[5], "レコード 9: " + AnsiToUtf8(*Utf8ToAnsi("ベンゼン.mol")) + "は登録済みです");
  // Only the MOL files of registered records were written.
  EXPECT_EQ(std::distance(fs::directory_iterator(molDir), fs::directory_iterator()), 4);
}

TEST_F(Import, V3000RecordsAreKeptAsV2000AndRefusedRecordsPassedOver) {
  const std::string b = SampleMol("benzene.mol");
  std::string noAtomsLeft = WithTitle(b, "broken");
  noAtomsLeft.replace(noAtomsLeft.find("  6  6"), 6, "  6  9");  // bonds beyond the block
  std::string query = WithTitle(b, "query");
  query.replace(query.find(" C   0"), 2, " A");  // a query atom
  const ImportSummary s =
      Run(Record(WithTitle(b, "first")) + Record(kV3000) + Record(noAtomsLeft) + Record(query) +
          Record("not a MOL block\r\n") + Record(WithTitle(b, "last")));
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.registered, 3);
  EXPECT_EQ(s.notV2000, 1);
  EXPECT_EQ(s.refused, 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"first.mol", "v3.mol", "last.mol"}));
  EXPECT_EQ(ParseRecords(ReadFile(db))[1].formula, "C2H3O2");
  const std::string kept = ReadFile(molDir + "/v3.mol");
  EXPECT_NE(kept.find("V2000"), std::string::npos);
  EXPECT_NE(kept.find("M  CHG  1   4  -1"), std::string::npos);
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_EQ(Messages()[0].rfind("レコード 3（broken.mol）: ", 0), 0u) << Messages()[0];
  EXPECT_EQ(Messages()[1], "レコード 4（query.mol）: " + QueryAtomMessage(1, "A"));
  EXPECT_EQ(Messages()[2], "レコード 5: MOL V2000 のブロックではありません");
  EXPECT_FALSE(fs::exists(molDir + "/broken.mol"));
  EXPECT_FALSE(fs::exists(molDir + "/query.mol"));
  // The closing message counts and lists them.
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("SDファイルの登録を終了しました\n\n登録 3 件、登録済み 0 件、"
                                 "登録できなかったもの 2 件、V2000 でないもの 1 件\nレコード 3",
                                 0),
            0u)
      << ui.messages[0];
}

// An SD file written with aromatic bonds (type 4) imports to the records of
// its Kekule twin: in each sample molecule the bonds of every six-ring drawn
// with three double bonds are written as type 4. The reader gives them the
// form in which the most six-rings alternate, which is the drawn one unless
// the drawing alternates fewer (the sample's anthracene, quinoline and
// quinine): such a twin keys so that the SMILES query finds it.
TEST(ImportAromatic, AromaticBondsImportLikeTheirKekuleTwin) {
  std::string kekule, aromatic;
  int twins = 0, betterForms = 0;
  auto ws = std::make_unique<KeyWorkspace>();
  RecordingSink quiet;
  for (const auto& entry : fs::directory_iterator(kSample + "/mol")) {
    const std::string text = ReadFile(entry.path());
    Molecule drawn, keyed;
    if (!ReadMolText(drawn, text, quiet)) continue;
    keyed = drawn;
    CalcFormulaWeight(keyed);
    ASSERT_TRUE(MakeStructureKey(keyed, quiet, *ws));
    // The six-rings (as bond lists) and the bonds of those drawn alternating.
    std::vector<std::vector<int>> rings;
    std::set<int> ring;
    for (int row = 1; row <= ws->pathcount; ++row) {
      const std::string path = ws->PathText(row);
      if (path.size() < 61 || path.compare(path.size() - 2, 2, "-6") != 0) continue;
      std::vector<int> bonds;
      for (size_t at = path.size() - 61; at < path.size() - 2; at += 5) {
        if (path[at] == 'b') bonds.push_back(std::stoi(path.substr(at + 1, 3)));
      }
      rings.push_back(bonds);
    }
    auto alternating = [&](const Molecule& m) {
      int n = 0;
      for (const auto& bonds : rings) {
        int doubles = 0;
        for (int j : bonds) doubles += m.bnddata[static_cast<size_t>(j)].order == 2;
        n += doubles == 3;
      }
      return n;
    };
    for (const auto& bonds : rings) {
      int doubles = 0;
      for (int j : bonds) doubles += drawn.bnddata[static_cast<size_t>(j)].order == 2;
      if (doubles == 3) ring.insert(bonds.begin(), bonds.end());
    }
    if (ring.empty()) continue;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (int j : ring) lines[static_cast<size_t>(3 + drawn.atmcount + j)].replace(6, 3, "  4");
    std::string twin;
    for (const std::string& l : lines) twin += l + "\n";
    Molecule read;
    ASSERT_TRUE(ReadMolText(read, twin, quiet)) << entry.path();
    if (alternating(read) > alternating(drawn)) {
      ++betterForms;
      const std::string name = entry.path().filename();
      const char* smiles = name == "anthracene.mol" ? "c1ccc2cc3ccccc3cc2c1" : "c1ccc2ncccc2c1";
      EXPECT_TRUE(name == "anthracene.mol" || name == "quinoline.mol" || name == "quinine.mol")
          << name;
      Molecule query, record;
      const PreparedStructure q = PrepareSmiles(query, smiles, quiet);
      const PreparedStructure r = PrepareMolText(record, twin, quiet);
      ASSERT_TRUE(q && r);
      std::istringstream codes(q.key);
      for (std::string code; std::getline(codes, code, '/');) {
        EXPECT_NE(r.key.find(code), std::string::npos) << code;
      }
      continue;
    }
    ++twins;
    kekule += Record(text);
    aromatic += Record(twin);
  }
  ASSERT_GE(twins, 30);
  EXPECT_EQ(betterForms, 3);
  TempFolder dir;
  for (const char* d : {"k", "a"}) fs::create_directory(dir / d);
  WriteFile(dir / "k.txt", "");
  WriteFile(dir / "a.txt", "");
  WriteFile(dir / "k.sdf", kekule);
  WriteFile(dir / "a.sdf", aromatic);
  Molecule mol;
  RecordingSink ui;
  EXPECT_EQ(ImportSdFile(dir / "k.sdf", dir / "k.txt", dir / "k", "", mol, ui).registered, twins);
  EXPECT_EQ(ImportSdFile(dir / "a.sdf", dir / "a.txt", dir / "a", "", mol, ui).registered, twins);
  const std::vector<CompoundRecord> a = ParseRecords(ReadFile(dir / "a.txt"));
  const std::vector<CompoundRecord> k = ParseRecords(ReadFile(dir / "k.txt"));
  ASSERT_EQ(a.size(), k.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].name + " " + a[i].weight + " " + a[i].formula + " " + a[i].key,
              k[i].name + " " + k[i].weight + " " + k[i].formula + " " + k[i].key);
  }
}

TEST_F(Import, AMolFileOfOtherContentIsNeverOverwritten) {
  const std::string benzene = WithTitle(SampleMol("benzene.mol"), "benzene");
  const std::string phenol = WithTitle(SampleMol("phenol.mol"), "phenol");
  WriteFile(molDir + "/benzene.mol", "someone else's benzene\r\n");
  WriteFile(molDir + "/phenol.mol", phenol);  // the same bytes: taken as it is
  fs::create_symlink(dir / "elsewhere.mol", molDir + "/toluene.mol");
  const ImportSummary s = Run(Record(benzene) + Record(phenol) +
                              Record(WithTitle(SampleMol("toluene.mol"), "toluene")));
  EXPECT_EQ(s.registered, 1);
  EXPECT_EQ(s.refused, 2);
  EXPECT_EQ(Names(), std::vector<std::string>{"phenol.mol"});
  EXPECT_EQ(ReadFile(molDir + "/benzene.mol"), "someone else's benzene\r\n");
  EXPECT_FALSE(fs::exists(dir / "elsewhere.mol"));  // the link was not followed
  EXPECT_EQ(Messages()[0], "レコード 1: " + MolFileClashMessage(molDir + "/benzene.mol"));
}

TEST_F(Import, AStopKeepsTheRecordsDoneAndAMissingFileEndsTheRun) {
  std::string text;
  for (int i = 1; i <= 250; ++i) {
    text += Record(WithTitle(SampleMol("benzene.mol"), "b" + std::to_string(i)));
  }
  struct StopAfter : RecordingSink {
    bool StopRequested() const override { return ++asked > 120; }
    mutable int asked = 0;
  } stopper;
  WriteFile(sd, text);
  const ImportSummary s = ImportSdFile(sd, db, molDir, "", mol, stopper);
  EXPECT_TRUE(s.stopped);
  EXPECT_FALSE(s.finished);
  EXPECT_EQ(s.registered, 120);
  EXPECT_EQ(Names().size(), 120u);
  EXPECT_EQ(std::distance(fs::directory_iterator(molDir), fs::directory_iterator()), 120);
  EXPECT_TRUE(stopper.messages.empty());

  const ImportSummary missing = ImportSdFile(dir / "none.sdf", db, molDir, "", mol, ui);
  EXPECT_FALSE(missing.finished);
  EXPECT_EQ(ui.errors, std::vector<std::string>{"ファイルが見つかりません: " + (dir / "none.sdf")});

  // A database that refuses the append ends the run and takes back the MOL
  // files made for records not appended.
  fs::permissions(db, fs::perms::owner_read | fs::perms::group_read);
  const ImportSummary readOnly = Run(Record(WithTitle(SampleMol("benzene.mol"), "new1")) +
                                     Record(WithTitle(SampleMol("phenol.mol"), "new2")));
  EXPECT_FALSE(readOnly.finished);
  EXPECT_EQ(readOnly.registered, 0);
  EXPECT_EQ(ui.errors.size(), 2u);
  EXPECT_FALSE(fs::exists(molDir + "/new1.mol"));
  EXPECT_FALSE(fs::exists(molDir + "/new2.mol"));
}

// The hidden first names of MOL files a killed import left: the next import
// removes those no running one holds, and keeps what is not ours.
TEST_F(Import, HalfWrittenMolFilesOfAKilledRunGoOthersStay) {
  auto put = [&](const std::string& name, time_t age) {
    WriteFile(molDir + "/" + name, "half");
    const struct timespec times[2] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
    ::utimensat(AT_FDCWD, (molDir + "/" + name).c_str(), times, 0);
  };
  put(".a.mol.vuduzez-new-Ab3xY9", 3600);  // a killed run's
  put(".b.mol.vuduzez-new-Zz9Qq1", 0);     // too young to tell
  put(".c.mol.vuduzez-new-short", 3600);   // not our naming
  put("d.mol.vuduzez-new-Ab3xY9", 3600);   // not hidden: not ours either
  // A running import's staged file, locked while its batch holds it.
  NewFileBatch running;
  ASSERT_EQ(running.Stage(molDir + "/e.mol", "staged"), NewFile::kCreated);
  std::string staged;
  for (const auto& e : fs::directory_iterator(molDir)) {
    if (e.path().filename().string().rfind(".e.mol.", 0) == 0) staged = e.path().string();
  }
  ASSERT_FALSE(staged.empty());
  const struct timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ::utimensat(AT_FDCWD, staged.c_str(), old, 0);

  EXPECT_TRUE(Run(Record(WithTitle(SampleMol("benzene.mol"), "benzene"))).finished);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(molDir)) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{".b.mol.vuduzez-new-Zz9Qq1", ".c.mol.vuduzez-new-short",
                                         "d.mol.vuduzez-new-Ab3xY9",
                                         fs::path(staged).filename().string(), "benzene.mol"}));
  EXPECT_EQ(running.Commit(), std::vector<NewFile>{NewFile::kCreated});
  EXPECT_EQ(ReadFile(molDir + "/e.mol"), "staged");
}

TEST(ImportRoundTrip, AnExportedSdFileImportsToTheSameRecords) {
  // Every record of the sample database as hits, exported as an SD file.
  SearchState state;
  LoadSearchData(state, kSample + "/compounds.txt");
  std::vector<std::string> all;
  for (const auto& r : state.records) all.emplace_back(r.name);
  std::ostringstream sdf;
  ASSERT_EQ(WriteHits(sdf, HitFormat::kSdf, all, kSample + "/mol", "", {}).withoutStructure, 0);

  TempFolder dir;
  fs::create_directory(dir / "mol");
  WriteFile(dir / "db.txt", "");
  WriteFile(dir / "hits.sdf", sdf.str());
  Molecule mol;
  RecordingSink ui;
  const ImportSummary s =
      ImportSdFile(dir / "hits.sdf", dir / "db.txt", dir / "mol", "name", mol, ui);
  EXPECT_EQ(s.registered, static_cast<int64_t>(all.size()));
  EXPECT_EQ(ParseRecords(ReadFile(dir / "db.txt")),
            ParseRecords(ReadFile(kSample + "/compounds.txt")));
}

}  // namespace
}  // namespace vuduzez
