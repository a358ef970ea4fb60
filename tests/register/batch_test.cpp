// Batch registration of a folder and deletion, on temporary folders with real
// MOL files from the sample.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "database/database.h"
#include "platform/encoding.h"
#include "register/batch.h"
#include "register/delete.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::string SampleMol(const std::string& name) {
  return ReadFile(std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol/" + name);
}

class Batch : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder);
    WriteFile(db, "");
  }
  BatchSummary Run() { return BatchRegister(folder, db, mol, ui); }
  std::vector<std::string> Names() { return LoadNameList(db); }

  TempFolder dir;
  std::string folder = dir / "mols";
  std::string db = dir / "compounds.txt";
  Molecule mol;
  RecordingSink ui;
};

TEST_F(Batch, RegistersEveryMolFileUnderItsListedName) {
  WriteFile(folder + "/benzene.mol", SampleMol("benzene.mol"));
  WriteFile(folder + "/Phenol.MOL", SampleMol("phenol.mol"));
  WriteFile(folder + "/ベンゼン環.mol", SampleMol("benzene.mol"));
  BatchSummary s = Run();
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.registered, 3);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"Phenol.MOL", "benzene.mol", *Utf8ToAnsi("ベンゼン環.mol")}));
  const std::string text = ReadFile(db);
  EXPECT_NE(text.find("Phenol.MOL\r\n94.11\r\nC6H6O\r\n"), std::string::npos);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"変換終了"});
  EXPECT_EQ(ui.progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
}

TEST_F(Batch, SecondRunFindsEverythingRegisteredAndWritesNothing) {
  WriteFile(folder + "/benzene.mol", SampleMol("benzene.mol"));
  WriteFile(folder + "/Phenol.MOL", SampleMol("phenol.mol"));
  Run();
  const std::string before = ReadFile(db);
  ui.messages.clear();
  BatchSummary s = Run();
  EXPECT_EQ(s.registered, 0);
  EXPECT_EQ(s.alreadyRegistered, 2);
  EXPECT_EQ(ReadFile(db), before);
  // One closing message lists them, instead of one message box per file.
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0],
      "変換終了\n\n登録 0 件、登録済み 2 件、登録できなかったもの 0 件\n\n登録済みのファイル:\n"
      "Phenol.MOLは登録済みです\nbenzene.molは登録済みです");
}

TEST_F(Batch, DuplicateTestSeesRecordsAppendedInTheSameRun) {
  // "benzene.mol " trims to the name appended just before it.
  WriteFile(folder + "/benzene.mol", SampleMol("benzene.mol"));
  WriteFile(folder + "/benzene.mol ", SampleMol("benzene.mol"));
  BatchSummary s = Run();
  EXPECT_EQ(s.registered, 1);
  EXPECT_EQ(s.alreadyRegistered, 1);
  EXPECT_EQ(Names().size(), 1u);
  EXPECT_EQ(s.entries[1].reason, "benzene.molは登録済みです");
}

TEST_F(Batch, OnlyNameLinesCountAsRegisteredAndCaseMatters) {
  // The formula line "C6H6O" and the name line "phenol.mol" are in the file.
  WriteFile(db, "phenol.mol\r\n94.11\r\nC6H6O\r\nO-C\r\n");
  WriteFile(folder + "/C6H6O", SampleMol("phenol.mol"));
  WriteFile(folder + "/PHENOL.mol", SampleMol("phenol.mol"));
  WriteFile(folder + "/phenol.mol", SampleMol("phenol.mol"));
  BatchSummary s = Run();
  EXPECT_EQ(s.registered, 2);
  EXPECT_EQ(s.alreadyRegistered, 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"phenol.mol", "C6H6O", "PHENOL.mol"}));
}

TEST_F(Batch, ShortNamesFoldersAndRefusedFilesAreSkippedAndTheRunGoesOn) {
  WriteFile(folder + "/二つ", SampleMol("benzene.mol"));   // 4 CP932 bytes: skipped
  WriteFile(folder + "/a.mo", SampleMol("benzene.mol"));   // 4 bytes: skipped
  WriteFile(folder + "/x.mol", SampleMol("benzene.mol"));  // 5 bytes: processed
  fs::create_directory(folder + "/subfolder.mol");         // quietly skipped
  ASSERT_EQ(::mkfifo((folder + "/pipe.mol").c_str(), 0600), 0);
  WriteFile(folder + "/notes.txt", "just some text\r\n");
  WriteFile(folder + "/zz.mol", SampleMol("ethanol.mol"));
  BatchSummary s = Run();
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.registered, 2);
  EXPECT_EQ(s.refused, 1);
  EXPECT_EQ(s.skipped, 4);
  EXPECT_EQ(Names(), (std::vector<std::string>{"x.mol", "zz.mol"}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find(
                "\n登録できなかったファイル:\nnotes.txt: ChemDrawのファイルではありません"),
            std::string::npos);
  EXPECT_EQ(ui.progress.size(), 7u);
}

TEST_F(Batch, AFileThatFailsToConvertIsRefusedWithItsMessage) {
  std::string broken = SampleMol("benzene.mol");
  broken.replace(broken.find("1.5000"), 6, "1.5x00");
  WriteFile(folder + "/broken.mol", broken);
  WriteFile(folder + "/phenol.mol", SampleMol("phenol.mol"));
  BatchSummary s = Run();
  EXPECT_EQ(s.refused, 1);
  EXPECT_EQ(s.registered, 1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("\nbroken.mol: "), std::string::npos);
  EXPECT_EQ(s.entries[0].outcome, EntryOutcome::kRefused);
  EXPECT_FALSE(s.entries[0].reason.empty());
}

TEST_F(Batch, DatabaseErrorsEndTheRunAndKeepEarlierRecords) {
  WriteFile(folder + "/benzene.mol", SampleMol("benzene.mol"));
  WriteFile(folder + "/phenol.mol", SampleMol("phenol.mol"));

  fs::remove(db);
  BatchSummary missing = Run();
  EXPECT_FALSE(missing.finished);
  EXPECT_EQ(ui.errors.size(), 1u);
  EXPECT_FALSE(fs::exists(db));

  // A file size limit that lets the first record in but not the second.
  WriteFile(db, "");
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 60;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  BatchSummary full = Run();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(full.finished);
  EXPECT_EQ(full.registered, 1);
  EXPECT_EQ(ui.errors.size(), 2u);
  EXPECT_EQ(ReadFile(db), "benzene.mol\r\n78.11\r\nC6H6\r\nC@C@C@C@C@C@6\r\n");
}

TEST_F(Batch, AStopRequestEndsTheRunBetweenFiles) {
  WriteFile(folder + "/benzene.mol", SampleMol("benzene.mol"));
  WriteFile(folder + "/phenol.mol", SampleMol("phenol.mol"));
  struct StopAfterOne : RecordingSink {
    void Progress(int done, int total) override {
      RecordingSink::Progress(done, total);
      stopRequested = true;
    }
  } stopping;
  BatchSummary s = BatchRegister(folder, db, mol, stopping);
  EXPECT_TRUE(s.stopped);
  EXPECT_FALSE(s.finished);
  EXPECT_EQ(s.registered, 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"benzene.mol"});
  EXPECT_TRUE(stopping.messages.empty());  // no closing message
}

TEST_F(Batch, NoFolderChosen) {
  BatchSummary s = BatchRegister("", db, mol, ui);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Molファイルの在り場所が指定されていません"});
  EXPECT_TRUE(s.entries.empty());
  BatchRegister(dir / "no-such-folder", db, mol, ui);
  EXPECT_EQ(ui.errors.size(), 1u);
}

TEST_F(Batch, DeleteCompoundRemovesAllRecordsOfTheNameWithOneMessage) {
  const std::string name = *Utf8ToAnsi("ベンゼン.mol");
  WriteFile(db, name + "\r\n78.11\r\nC6H6\r\nC@\r\nb.mol\r\n1\r\nC\r\nC\r\n" + name +
                    "\r\n78.11\r\nC6H6\r\nC@\r\n");
  EXPECT_EQ(DeleteCompound(db, "", name, ui), 2);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"ベンゼン.molを削除しました"});
  EXPECT_EQ(Names(), std::vector<std::string>{"b.mol"});
}

TEST_F(Batch, HostileFolderEntriesAreRefusedByNameAndTheRestStoredOnce) {
  for (const char* name : {"new\nline.mol", "      ", "tab\tx.mol", "a\u301Cb.mol", "a\uFF5Eb.mol",
                           "c\u2212d.mol", "c\uFF0Dd.mol"}) {
    WriteFile(folder + "/" + name, SampleMol("benzene.mol"));
  }
  BatchSummary s = Run();
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.registered, 2);
  EXPECT_EQ(s.refused, 5);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{*Utf8ToAnsi("a\uFF5Eb.mol"), *Utf8ToAnsi("c\uFF0Dd.mol")}));
  EXPECT_NE(ui.messages.back().find("new\\nline.mol"), std::string::npos);
  // A second run finds the stored two, and refuses the others again.
  ui.messages.clear();
  s = Run();
  EXPECT_EQ(s.alreadyRegistered, 2);
  EXPECT_EQ(s.refused, 5);
}

TEST_F(Batch, MolFilesAKilledStoreLeftHalfWrittenAreNoEntries) {
  WriteFile(folder + "/benzene.mol", SampleMol("benzene.mol"));
  WriteFile(folder + "/.phenol.mol.vuduzez-new-Ab12Cd", SampleMol("phenol.mol"));
  WriteFile(folder + "/.phenol.mol.vuduzez-old", SampleMol("phenol.mol"));  // the user's own
  const BatchSummary s = Run();
  EXPECT_EQ(s.registered, 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{".phenol.mol.vuduzez-old", "benzene.mol"}));
}

}  // namespace
}  // namespace vuduzez

namespace vuduzez {
namespace {

TEST_F(Batch, AnyNumberOfThreadsGivesTheSameDatabase) {
  // More than two blocks of entries, with refused, skipped and duplicate ones
  // among them.
  const std::vector<std::string> kinds = {"benzene.mol", "phenol.mol", "aspirin.mol",
                                          "caffeine.mol", "cholesterol.mol"};
  for (int i = 0; i < 230; ++i) {
    WriteFile(folder + "/e" + std::to_string(1000 + i) + ".mol", SampleMol(kinds[i % 5]));
  }
  WriteFile(folder + "/e1100.mol", "not a MOL file\r\n");
  WriteFile(folder + "/x.m", SampleMol("benzene.mol"));  // a name too short
  std::vector<std::string> databases;
  std::vector<BatchSummary> summaries;
  for (const char* threads : {"1", "3"}) {
    WriteFile(db, "e1005.mol\r\n1\r\nC\r\nC\r\n");
    setenv("VUDUZEZ_THREADS", threads, 1);
    summaries.push_back(Run());
    unsetenv("VUDUZEZ_THREADS");
    databases.push_back(ReadFile(db));
  }
  EXPECT_EQ(databases[0], databases[1]);
  EXPECT_EQ(summaries[0].registered, 228);
  EXPECT_EQ(summaries[1].registered, 228);
  ASSERT_EQ(summaries[0].entries.size(), summaries[1].entries.size());
  for (size_t i = 0; i < summaries[0].entries.size(); ++i) {
    EXPECT_EQ(summaries[0].entries[i].fileName, summaries[1].entries[i].fileName);
    EXPECT_EQ(summaries[0].entries[i].outcome, summaries[1].entries[i].outcome);
    EXPECT_EQ(summaries[0].entries[i].reason, summaries[1].entries[i].reason);
  }
}

}  // namespace
}  // namespace vuduzez
