// One compound, one record: batch registration and import name the entries
// that repeat a registered structure, a batch from another folder brings its
// files into the MOL folder, a name taken by another structure is refused,
// and a deleted compound stays deleted until it is restored.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/database.h"
#include "database/identity_catalog.h"
#include "database/mol_files.h"
#include "platform/messages.h"
#include "register/batch.h"
#include "register/delete.h"
#include "register/import.h"
#include "search/sound_search.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const char* const kCompounds[] = {"benzene", "phenol", "aniline", "toluene"};

std::string SampleMol(const std::string& name) {
  return ReadFile(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol/" + name + ".mol");
}

// The other Kekulé form of a benzene ring with one substituent: every bond
// between two atoms of more than one bond changes between single and double.
std::string OtherKekuleForm(const std::string& mol) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < mol.size();) {
    const size_t end = mol.find("\r\n", at);
    lines.push_back(mol.substr(at, end - at));
    at = end + 2;
  }
  const int atoms = std::stoi(lines[3].substr(0, 3)), bonds = std::stoi(lines[3].substr(3, 3));
  std::vector<int> degree(static_cast<size_t>(atoms) + 1);
  for (int b = 0; b < bonds; ++b) {
    const std::string& l = lines[static_cast<size_t>(4 + atoms + b)];
    ++degree[static_cast<size_t>(std::stoi(l.substr(0, 3)))];
    ++degree[static_cast<size_t>(std::stoi(l.substr(3, 3)))];
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string l = lines[i];
    if (i >= static_cast<size_t>(4 + atoms) && i < static_cast<size_t>(4 + atoms + bonds) &&
        degree[static_cast<size_t>(std::stoi(l.substr(0, 3)))] > 1 &&
        degree[static_cast<size_t>(std::stoi(l.substr(3, 3)))] > 1) {
      l[8] = l[8] == '1' ? '2' : '1';
    }
    out += l + "\r\n";
  }
  return out;
}

// Its hydrochloride: a chlorine atom beside it.
std::string Hydrochloride(const std::string& mol) {
  const size_t counts = mol.find("\r\n", mol.find("\r\n", mol.find("\r\n") + 2) + 2) + 2;
  const int atoms = std::stoi(mol.substr(counts, 3));
  char field[16];
  std::snprintf(field, sizeof field, "%3d", atoms + 1);
  std::string out = mol;
  out.replace(counts, 3, field);
  size_t lastAtom = counts;
  for (int a = 0; a <= atoms; ++a) lastAtom = out.find("\r\n", lastAtom) + 2;
  out.insert(lastAtom, "    4.0000    4.0000    0.0000 Cl  0  0  0  0  0  0  0  0  0  0  0  0\r\n");
  return out;
}

class OneRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(incoming);
    fs::create_directories(molDir);
    WriteFile(db, "");
    for (const char* c : kCompounds) {
      const std::string mol = SampleMol(c);
      WriteFile(incoming + "/" + c + "_a.mol", mol);
      WriteFile(incoming + "/" + c + "_b.mol", OtherKekuleForm(mol));
      WriteFile(incoming + "/" + c + "_salt.mol", Hydrochloride(mol));
    }
  }
  // The registered structures, as the CLI and the window prepare them.
  const SoundIndex* Registered() {
    EXPECT_TRUE(PrepareSoundIndex(state, db, molDir, ui));
    return &*state.index;
  }

  TempFolder dir;
  std::string incoming = dir / "incoming";
  std::string molDir = dir / "mol";
  std::string db = dir / "compounds.txt";
  Molecule mol;
  RecordingSink ui;
  SoundState state;
};

TEST_F(OneRecord, BatchFromAnotherFolderNamesRepeatsAndBringsItsFiles) {
  WriteFile(incoming + "/clash.mol", SampleMol("ethanol"));
  WriteFile(molDir + "/clash.mol", "another file");
  BatchOptions options;
  options.molFolder = molDir;
  options.registered = Registered();
  const BatchSummary s = BatchRegister(incoming, db, mol, ui, options);
  ASSERT_TRUE(s.finished);
  EXPECT_EQ(s.registered, 12);
  EXPECT_EQ(s.refused, 1);
  EXPECT_EQ(s.sameStructure, 4);
  for (const BatchEntry& e : s.entries) {
    const std::string stem = e.fileName.substr(0, e.fileName.find('_'));
    EXPECT_EQ(e.sameAs, e.fileName.find("_b.mol") != std::string::npos ? stem + "_a" : "")
        << e.fileName;
  }
  EXPECT_NE(ui.messages.back().find("\n同じ構造が登録済みのもの:\naniline_b.mol: "),
            std::string::npos);
  EXPECT_NE(ui.messages.back().find("\nbenzene_b.mol: 同じ構造が benzene_a として登録されています"),
            std::string::npos);
  // Every record is drawn from a copy in the MOL folder; the other file stays.
  for (const std::string& name : LoadNameList(db)) {
    EXPECT_TRUE(IsRegularFile(HitMolPath(molDir, std::string(CompoundName(name))))) << name;
  }
  EXPECT_EQ(ReadFile(molDir + "/clash.mol"), "another file");
  const auto clash = std::find_if(s.entries.begin(), s.entries.end(),
                                  [](const BatchEntry& e) { return e.fileName == "clash.mol"; });
  ASSERT_NE(clash, s.entries.end());
  EXPECT_EQ(clash->reason, MolCopyClashMessage(molDir + "/clash.mol"));

  // The appender brought the sound index along: the layers are there at once.
  SoundState after;
  ASSERT_TRUE(PrepareSoundIndex(after, db, molDir, ui));
  EXPECT_EQ(after.perceived, 0u);
  EXPECT_EQ(DuplicateGroups(*after.index, chem::IdentityLevel::kExact).size(), 4u);
  const auto parents = DuplicateGroups(*after.index, chem::IdentityLevel::kParent);
  ASSERT_EQ(parents.size(), 4u);
  EXPECT_EQ(parents[0].size(), 3u);

  // Asked to, the repeats are left out.
  const std::string db2 = dir / "second.txt";
  WriteFile(db2, "");
  options.molFolder = dir / "mol2";
  fs::create_directories(options.molFolder);
  options.registered = nullptr;
  options.skipSameStructure = true;
  SoundState empty;
  ASSERT_TRUE(PrepareSoundIndex(empty, db2, options.molFolder, ui));
  options.registered = &*empty.index;
  const BatchSummary skipped = BatchRegister(incoming, db2, mol, ui, options);
  EXPECT_EQ(skipped.registered, 9);  // clash.mol is new there
  EXPECT_EQ(LoadNameList(db2).size(), 9u);
  EXPECT_EQ(
      std::count_if(skipped.entries.begin(), skipped.entries.end(),
                    [](const BatchEntry& e) { return e.outcome == EntryOutcome::kSameStructure; }),
      4);
}

TEST_F(OneRecord, ImportNamesRepeatsAndRefusesANameTakenByAnotherStructure) {
  std::string sd;
  for (const char* c : kCompounds) {
    for (const char* form : {"_a", "_b", "_salt"}) {
      std::string block = ReadFile(incoming + "/" + c + form + ".mol");
      block.replace(0, block.find("\r\n"), std::string(c) + form);
      sd += block + "$$$$\r\n";
    }
  }
  WriteFile(dir / "set.sdf", sd);
  ImportOptions options;
  options.registered = Registered();
  std::vector<ImportRecord> records;
  ImportSummary s = ImportSdFile(
      dir / "set.sdf", db, molDir, "", mol, ui,
      [&](const ImportRecord& r) { records.push_back(r); }, options);
  EXPECT_EQ(s.registered, 12);
  EXPECT_EQ(s.sameStructure, 4);
  EXPECT_EQ(records[1].sameAs, "benzene_a");
  EXPECT_EQ(records[2].sameAs, "");  // the salt is another form, not the same structure

  // Again: the same structure under its name is registered already; the
  // name with another structure is refused.
  auto titled = [&](const std::string& file, const std::string& title) {
    std::string block = ReadFile(incoming + "/" + file);
    return block.replace(0, block.find("\r\n"), title) + "$$$$\r\n";
  };
  // A new record first: the others are reported in their turn all the same.
  std::string ethanol = SampleMol("ethanol");
  ethanol.replace(0, ethanol.find("\r\n"), "ethanol");
  WriteFile(dir / "again.sdf", ethanol + "$$$$\r\n" + titled("benzene_b.mol", "benzene_a") +
                                   titled("phenol_a.mol", "benzene_a"));
  SoundState now;
  ASSERT_TRUE(PrepareSoundIndex(now, db, molDir, ui));
  options.registered = &*now.index;
  records.clear();
  s = ImportSdFile(
      dir / "again.sdf", db, molDir, "", mol, ui,
      [&](const ImportRecord& r) { records.push_back(r); }, options);
  EXPECT_EQ(s.registered, 1);
  EXPECT_EQ(s.alreadyRegistered, 1);
  EXPECT_EQ(s.refused, 1);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].fileName, "ethanol.mol");
  EXPECT_EQ(records[1].message, "レコード 2: benzene_a.molは登録済みです");
  EXPECT_EQ(records[2].message, "レコード 3: " + NameOfOtherStructureMessage("benzene_a.mol"));
}

TEST_F(OneRecord, ADeletedCompoundStaysDeletedAfterABatchRunAndComesBack) {
  for (const char* c : kCompounds)
    fs::copy_file(incoming + "/" + c + "_a.mol", molDir + "/" + c + ".mol");
  ASSERT_TRUE(BatchRegister(molDir, db, mol, ui).finished);
  ASSERT_EQ(DeleteCompound(db, molDir, "phenol.mol", ui), 1);
  EXPECT_TRUE(IsRegularFile(TrashFolderOf(molDir) + "/phenol.mol"));
  const BatchSummary again = BatchRegister(molDir, db, mol, ui);
  EXPECT_EQ(again.registered, 0);
  EXPECT_EQ(LoadNameList(db).size(), 3u);
  EXPECT_EQ(RestoreCompound(db, molDir, "phenol.mol", mol, ui), RestoreStatus::kRestored);
  EXPECT_EQ(ui.messages.back(), "phenol.molを復元しました");
  EXPECT_EQ(LoadNameList(db).back(), "phenol.mol");
  EXPECT_EQ(ReadFile(molDir + "/phenol.mol"), ReadFile(incoming + "/phenol_a.mol"));
  EXPECT_EQ(RestoreCompound(db, molDir, "phenol.mol", mol, ui), RestoreStatus::kRegistered);
}

}  // namespace
}  // namespace vuduzez
