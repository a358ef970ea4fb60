// The MOL files of the records: what a record is called, where its MOL file
// is in the MOL folder, and the trash folder inside the MOL folder that
// deletion moves a compound's MOL file into (and restoration takes it back
// from). Names are CP932 (as in the database), paths are the file system's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vuduzez {

// The compound name of a name line, as the search names its hits and finds
// their MOL files: the name line without its MOL-file extension (".mol" in
// any letter case, also followed by ".gz"), so that "Lot 1.3.mol" is
// "Lot 1.3"; a name line without that extension is cut at its first "."
// (leading blanks kept, as read).
std::string_view CompoundName(std::string_view nameLine);

// The MOL file of a compound name in folder: "<name>.mol", the CP932 name
// given back its UTF-8 file name (or taken as it is when only that file
// exists). When it is not there, the names a record's file may also have:
// "<name>.MOL", "<name>.mol.gz", and "<name cut at its first '.'>.mol" (where
// earlier versions looked). The first that exists; "<name>.mol" when none.
std::string HitMolPath(const std::string& folder, const std::string& name);

// Where the MOL file of a name line is kept: folder + "/" + the name line in
// UTF-8 (for a name line "<name>.mol" exactly where HitMolPath looks).
std::string MolFilePathFor(const std::string& folder, const std::string& nameLine);

// Where a copy of a record's MOL file goes in the MOL folder when it was
// registered from another folder: "<compound name>.mol" (".mol.gz" for a
// gzip-compressed file), where HitMolPath finds it first.
std::string MolCopyPathFor(const std::string& molFolder, const std::string& nameLine);

// --- the trash -------------------------------------------------------------------

// The folder inside the MOL folder that holds the MOL files of deleted
// compounds ("削除済み"). Batch registration never looks into it.
inline constexpr const char* kTrashFolderName = "削除済み";
std::string TrashFolderOf(const std::string& molFolder);
// Whether a folder entry of the MOL folder is the trash folder.
bool IsTrashFolderName(std::string_view fileName);

// Moves the MOL file at path (in molFolder) into the trash folder, made when
// missing, under its own file name. A file of that name already there with
// the same bytes stays, and path is removed; one with other bytes is renamed
// aside first ("<file>~1", "~2" ...), so nothing in the trash is lost. Returns
// the path it now has. Throws RuntimeError when it cannot be moved (nothing
// moved then).
std::string MoveToTrash(const std::string& molFolder, const std::string& path);

// What restoring a compound's MOL file from the trash found.
enum class TrashRestore {
  kRestored,      // moved back to the MOL folder
  kNotInTrash,    // no MOL file of that compound in the trash
  kOtherContent,  // the MOL folder holds another file of that name: nothing moved
};
struct RestoredFile {
  TrashRestore status = TrashRestore::kNotInTrash;
  std::string path;  // its path in the MOL folder (when restored or clashing)
};
// Moves the MOL file of the compound name (found as HitMolPath finds it, in
// the trash) back into the MOL folder under its own file name, never over
// another file there (a file with the same bytes is taken as it is, and the
// trash copy goes).
RestoredFile RestoreFromTrash(const std::string& molFolder, const std::string& name);

}  // namespace vuduzez
