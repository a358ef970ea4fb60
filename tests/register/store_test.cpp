// The registration rules and the store of one prepared structure, without a
// window: names, CP932, duplicates and what a refused store leaves behind.
#include "register/store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "database/database.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "register/prepare.h"
#include "search/search.h"
#include "support/mol_text.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using testing::MolText;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

TEST(RegistrationRules, NamesAndNameLines) {
  const std::string sjis = *Utf8ToAnsi("ベンゼン");
  EXPECT_EQ(NameFromAnswer("ベンゼン", sjis), sjis);  // unchanged: the original bytes
  EXPECT_EQ(NameFromAnswer("Benzene", sjis), "Benzene");
  EXPECT_EQ(NameFromAnswer("ring\xF0\x9F\x98\x80", "ring"), std::nullopt);
  EXPECT_EQ(NameLineFor("kekule.ring.v2"), "kekule.mol");
  EXPECT_EQ(NameLineFor(""), ".mol");
  EXPECT_EQ(ListedName(" a.mol  "), "a.mol");
  EXPECT_EQ(EntryNameLineFor("二つ").verdict, EntryName::kTooShort);
  EXPECT_EQ(EntryNameLineFor("x.mol").nameLine, "x.mol");
  EXPECT_EQ(EntryNameLineFor("\xF0\x9F\x98\x80.mol").verdict, EntryName::kRefused);
}

TEST(RecordName, RefusesBlankControlAndLossyNamesAndNamesThem) {
  for (const char* bad : {"", "   ", "new\nline.mol", "cr\r.mol", "tab\t.mol", "bell\x07.mol",
                          "a\u301Cb.mol", "c\u2212d.mol", "ring\U0001F600.mol", "bad\xFF.mol"}) {
    SCOPED_TRACE(bad);
    const CheckedName c = CheckRecordName(bad);
    EXPECT_FALSE(c.ok);
    EXPECT_NE(c.refusal.find("登録しませんでした"), std::string::npos);
  }
  EXPECT_EQ(
      CheckRecordName("new\nline.mol").refusal,
      "化合物名「new\\nline.mol」に制御文字（改行・タブなど）が含まれています。登録しませんでした");
  EXPECT_EQ(CheckRecordName("a\u301Cb").refusal,
            "化合物名「a\u301Cb」はShift-"
            "JISでは別の名前「a\uFF5Eb」になってしまいます。登録しませんでした");
  // What CP932 gives back unchanged passes, blanks inside a name too.
  for (const char* good : {"a\uFF5Eb.mol", "c\uFF0Dd.mol", "ベンゼン 環.mol", " x.mol "}) {
    const CheckedName c = CheckRecordName(good);
    EXPECT_TRUE(c.ok) << good;
    EXPECT_EQ(AnsiToUtf8(c.line), good);
  }
}

class Store : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(db, "");
    std::filesystem::create_directory(molDir);
    Molecule mol;
    prepared = PrepareMolText(mol, MolText("ethanol", {"C", "C", "O"}, {{1, 2}, {2, 3}}), ui);
    ASSERT_TRUE(prepared);
  }
  StoreResult StoreAs(const std::optional<std::string>& answer) {
    return StoreStructure(prepared, answer, db, molDir, namelist, ui);
  }

  TempFolder dir;
  std::string db = dir / "db.txt";
  std::string molDir = dir / "mol";
  RecordingSink ui;
  PreparedStructure prepared;
  std::vector<std::string> namelist;
};

TEST_F(Store, StoresUnderTheConfirmedOrTypedNameOnce) {
  EXPECT_TRUE(StoreAs(std::nullopt).stored());
  EXPECT_EQ(ReadFile(db), "ethanol.mol\r\n46.07\r\nC2H6O\r\nC-C-O/O-C-C\r\n");
  EXPECT_EQ(StoreAs(std::nullopt).status, StoreStatus::kDuplicate);
  EXPECT_EQ(ui.messages, std::vector<std::string>{kDuplicate});

  const StoreResult renamed = StoreAs(std::string("spirit.v2"));
  EXPECT_TRUE(renamed.stored());
  EXPECT_EQ(renamed.listed, "spirit.mol");
  EXPECT_EQ(prepared.name, "spirit");  // offered at the next question
  EXPECT_EQ(namelist, (std::vector<std::string>{"ethanol.mol", "spirit.mol"}));
  EXPECT_EQ(LoadNameList(db), namelist);
}

TEST_F(Store, RefusalsWriteNothing) {
  const StoreResult emoji = StoreAs(std::string("ring\xF0\x9F\x98\x80"));
  EXPECT_EQ(emoji.status, StoreStatus::kNameRefused);
  EXPECT_EQ(ui.messages, std::vector<std::string>{NameNotShiftJisMessage("ring\xF0\x9F\x98\x80")});
  EXPECT_EQ(prepared.name, "ethanol");

  namelist = {"ethanol.mol"};  // as read back from the database
  EXPECT_EQ(StoreAs(std::nullopt).status, StoreStatus::kDuplicate);

  PreparedStructure nothing;
  EXPECT_EQ(StoreStructure(nothing, std::nullopt, db, molDir, namelist, ui).status,
            StoreStatus::kNotStorable);
  EXPECT_EQ(ui.messages.back(), kNoSearchData);
  PreparedStructure failed = prepared;
  failed.status = PrepareStatus::kKeyFailed;
  failed.reason = kMoleculeTooLarge;
  EXPECT_FALSE(CheckStorable(failed, ui));
  EXPECT_EQ(ui.messages.back(), kMoleculeTooLarge);
  EXPECT_EQ(ReadFile(db), "");
}

// The MOL file a store keeps beside its record: the text it was prepared
// from, under the name line, where the search looks the hit up.
TEST_F(Store, KeepsTheMolFileAndNeverOverwritesOne) {
  ASSERT_TRUE(StoreAs(std::string("ベンゼン")).stored());
  const std::string japanese = MolFilePathFor(molDir, *Utf8ToAnsi("ベンゼン.mol"));
  EXPECT_EQ(japanese, molDir + "/ベンゼン.mol");
  EXPECT_EQ(HitMolPath(molDir, *Utf8ToAnsi("ベンゼン")), japanese);
  EXPECT_EQ(ReadFile(japanese), prepared.molText);

  // The same bytes there already: taken as they are.
  WriteFile(molDir + "/same.mol", prepared.molText);
  EXPECT_TRUE(StoreAs(std::string("same")).stored());

  // Other bytes, or a link (never followed): kept, nothing stored, the file named.
  WriteFile(molDir + "/other.mol", "someone else's structure\r\n");
  WriteFile(dir / "target.mol", prepared.molText);
  ASSERT_EQ(::symlink((dir / "target.mol").c_str(), (molDir + "/link.mol").c_str()), 0);
  const std::string before = ReadFile(db);
  for (const char* name : {"other", "link"}) {
    EXPECT_EQ(StoreAs(std::string(name)).status, StoreStatus::kMolFileClash);
    EXPECT_EQ(ui.messages.back(), MolFileClashMessage(molDir + "/" + name + ".mol"));
  }
  EXPECT_EQ(ReadFile(molDir + "/other.mol"), "someone else's structure\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(molDir + "/link.mol"));
  EXPECT_EQ(ReadFile(db), before);
  EXPECT_EQ(namelist.size(), 2u);

  // Names that are no file name in the folder.
  EXPECT_EQ(StoreAs(std::string("../up")).status, StoreStatus::kNameRefused);  // cut at "."
  EXPECT_EQ(StoreAs(std::string("sub/x")).status, StoreStatus::kNameRefused);
  EXPECT_EQ(ui.messages.back(), NameSlashMessage("sub/x"));
  EXPECT_EQ(ReadFile(db), before);
}

TEST_F(Store, FailedAppendLeavesNoMolFileAndNoFolderStoresNothing) {
  std::filesystem::remove(db);  // the append cannot create it
  EXPECT_THROW(StoreAs(std::nullopt), RuntimeError);
  EXPECT_TRUE(std::filesystem::is_empty(molDir));  // neither the file nor a half-written one
  EXPECT_TRUE(namelist.empty());

  WriteFile(db, "");
  EXPECT_EQ(StoreStructure(prepared, std::nullopt, db, "", namelist, ui).status,
            StoreStatus::kNotStorable);
  EXPECT_EQ(ui.messages.back(), kNoMolFolderForStore);
  EXPECT_EQ(ReadFile(db), "");
}

}  // namespace
}  // namespace vuduzez
