// The identity layers in the sound index: kept through every way an index is
// made again, found by layer, grouped; and the MOL files of records: their
// names, where they are found, the trash they go to and come back from.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/identity_catalog.h"
#include "database/mol_files.h"
#include "database/sound_index.h"
#include "support/mol_text.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

using chem::IdentityLevel;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// An entry with its identity alone (a record kept without a graph, as one too
// large for it is).
SoundEntry Entry(const std::string& name, const std::string& smiles) {
  SoundEntry e;
  e.name = name;
  e.perceived.status = chem::RecordStatus::kLarge;
  e.perceived.identity = chem::SmilesIdentity(smiles);
  return e;
}

std::vector<std::string> Names(const std::vector<IdentityMatch>& matches) {
  std::vector<std::string> out;
  for (const IdentityMatch& m : matches) {
    out.push_back(m.name + ":" + chem::IdentityLevelName(m.level));
  }
  return out;
}

TEST(IdentityIndex, LayersSurviveEveryRemakeAndAreFoundByLayer) {
  std::vector<SoundEntry> entries = {
      Entry("alanine", "N[C@@H](C)C(=O)O"),
      Entry("d_alanine", "N[C@H](C)C(=O)O"),
      Entry("acid", "CC(=O)O"),
      Entry("acetate", "CC(=O)[O-].[Na+]"),
      Entry("pyridone", "O=c1cccc[nH]1"),
      Entry("unread", "C1CC"),
  };
  SoundPayload payload("/mol", entries);
  std::string bytes = payload.Join();
  std::optional<SoundIndex> ix = SoundIndex::Open(nullptr, bytes);
  ASSERT_TRUE(ix);
  for (size_t r = 0; r < entries.size(); ++r) {
    EXPECT_EQ(ix->IdentityOf(r), entries[r].perceived.identity) << r;
  }
  EXPECT_EQ(ix->LayerHash(5, IdentityLevel::kExact), 0u);  // unknown

  // A record replaced and two appended: the others keep theirs.
  SoundPayload again(
      *ix, {{2, Entry("acid", "CCC(=O)O")}},
      {Entry("hydroxypyridine", "Oc1ccccn1"), Entry("l_ala_hcl", "Cl.N[C@@H](C)C(=O)O")});
  std::string bytes2 = again.Join();
  std::optional<SoundIndex> ix2 = SoundIndex::Open(nullptr, bytes2);
  ASSERT_TRUE(ix2);
  EXPECT_EQ(ix2->Layer(2, IdentityLevel::kExact), "CCC(=O)O");
  EXPECT_EQ(ix2->IdentityOf(3), entries[3].perceived.identity);
  EXPECT_EQ(ix2->Entry(7).perceived.identity, chem::SmilesIdentity("Cl.N[C@@H](C)C(=O)O"));

  // Found by the closest layer each shares, in database order.
  EXPECT_EQ(Names(FindInIndex(*ix2, chem::SmilesIdentity("C[C@H](N)C(O)=O"))),
            (std::vector<std::string>{"alanine:exact", "d_alanine:nostereo", "l_ala_hcl:parent"}));
  EXPECT_EQ(Names(FindInIndex(*ix2, chem::SmilesIdentity("Oc1ccccn1"))),
            (std::vector<std::string>{"pyridone:tautomer", "hydroxypyridine:exact"}));
  // The catalog finds the same, and what is added to it.
  IdentityCatalog catalog(&*ix2);
  catalog.Add("new_ala", chem::SmilesIdentity("N[C@H](C)C(=O)[O-].[K+]"));
  EXPECT_EQ(Names(catalog.Find(chem::SmilesIdentity("N[C@@H](C)C(=O)O"))),
            (std::vector<std::string>{"alanine:exact", "d_alanine:nostereo", "l_ala_hcl:parent",
                                      "new_ala:nostereo"}));
  ASSERT_NE(catalog.IdentityOfName("acetate"), nullptr);
  EXPECT_EQ((*catalog.IdentityOfName("acetate"))[IdentityLevel::kParent], "CC(=O)O");
  EXPECT_EQ(catalog.IdentityOfName("unread"), nullptr);

  // Groups of one layer, in the order of their first record.
  EXPECT_EQ(DuplicateGroups(*ix2, IdentityLevel::kExact), std::vector<std::vector<size_t>>{});
  EXPECT_EQ(DuplicateGroups(*ix2, IdentityLevel::kNoStereo),
            (std::vector<std::vector<size_t>>{{0, 1, 7}}));
  EXPECT_EQ(DuplicateGroups(*ix2, IdentityLevel::kTautomer),
            (std::vector<std::vector<size_t>>{{0, 1, 7}, {4, 6}}));
}

TEST(MolFiles, CompoundNamesAndWhereTheirFilesAreFound) {
  EXPECT_EQ(CompoundName("benzene.mol"), "benzene");
  EXPECT_EQ(CompoundName("Lot 1.3.mol"), "Lot 1.3");
  EXPECT_EQ(CompoundName("X.MOL  "), "X");
  EXPECT_EQ(CompoundName("x.mol.gz"), "x");
  EXPECT_EQ(CompoundName("notes.txt"), "notes");
  EXPECT_EQ(CompoundName("a.b.txt"), "a");  // no MOL extension: cut at the first "."
  EXPECT_EQ(CompoundName(".mol"), "");

  TempFolder dir;
  WriteFile(dir / "Lot 1.3.mol", "a");
  WriteFile(dir / "X.MOL", "b");
  WriteFile(dir / "y.mol.gz", "c");
  WriteFile(dir / "old.mol", "d");  // where "old.v2.mol" was looked for before
  EXPECT_EQ(HitMolPath(dir.path(), "Lot 1.3"), dir / "Lot 1.3.mol");
  EXPECT_EQ(HitMolPath(dir.path(), "X"), dir / "X.MOL");
  EXPECT_EQ(HitMolPath(dir.path(), "y"), dir / "y.mol.gz");
  EXPECT_EQ(HitMolPath(dir.path(), "old.v2"), dir / "old.mol");
  EXPECT_EQ(HitMolPath(dir.path(), "none"), dir / "none.mol");
  EXPECT_EQ(MolCopyPathFor("/m", "X.MOL"), "/m/X.mol");
  EXPECT_EQ(MolCopyPathFor("/m", "y.mol.gz"), "/m/y.mol.gz");
}

TEST(MolFiles, TheTrashKeepsEveryDeletedFileAndGivesItBack) {
  TempFolder dir;
  const std::string trash = TrashFolderOf(dir.path());
  WriteFile(dir / "a.mol", "first");
  EXPECT_EQ(MoveToTrash(dir.path(), dir / "a.mol"), trash + "/a.mol");
  EXPECT_FALSE(std::filesystem::exists(dir / "a.mol"));
  // Deleted again with other bytes: the older one steps aside; with the same
  // bytes the trash has it already.
  WriteFile(dir / "a.mol", "second");
  MoveToTrash(dir.path(), dir / "a.mol");
  EXPECT_EQ(ReadFile(trash + "/a.mol"), "second");
  EXPECT_EQ(ReadFile(trash + "/a.mol~1"), "first");
  WriteFile(dir / "a.mol", "second");
  MoveToTrash(dir.path(), dir / "a.mol");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(trash), {}), 2);

  // Back, never over another file.
  WriteFile(dir / "a.mol", "someone else's");
  EXPECT_EQ(RestoreFromTrash(dir.path(), "a").status, TrashRestore::kOtherContent);
  EXPECT_EQ(ReadFile(dir / "a.mol"), "someone else's");
  std::filesystem::remove(dir / "a.mol");
  const RestoredFile back = RestoreFromTrash(dir.path(), "a");
  EXPECT_EQ(back.status, TrashRestore::kRestored);
  EXPECT_EQ(ReadFile(back.path), "second");
  EXPECT_EQ(RestoreFromTrash(dir.path(), "b").status, TrashRestore::kNotInTrash);
}

}  // namespace
}  // namespace vuduzez
