#include "database/mol_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// The length of the MOL-file extension that ends s (0 when none).
size_t MolExtension(std::string_view s) {
  if (EndsWithNoCase(s, ".mol.gz")) return 7;
  if (EndsWithNoCase(s, ".mol")) return 4;
  return 0;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

// The path of a file name (CP932) in folder, as HitMolPath has always given
// it: the UTF-8 name, or the bytes as they are when only that file exists.
std::string PathOfName(const std::string& folder, const std::string& file, bool* exists) {
  if (IsAscii(file)) {
    const std::string path = ScratchPath(folder, file);
    if (exists != nullptr) *exists = FileExists(path);
    return path;
  }
  const std::string path = ScratchPath(folder, AnsiToUtf8(file));
  if (FileExists(path)) {
    if (exists != nullptr) *exists = true;
    return path;
  }
  // A name already in the file system's encoding.
  const std::string raw = ScratchPath(folder, file);
  if (raw != path && FileExists(raw)) {
    if (exists != nullptr) *exists = true;
    return raw;
  }
  if (exists != nullptr) *exists = false;
  return path;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string_view CompoundName(std::string_view nameLine) {
  // Trailing blanks are no part of the extension (the name list trims them).
  std::string_view line = nameLine;
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.remove_suffix(1);
  if (const size_t ext = MolExtension(line); ext > 0 && ext < line.size()) {
    return line.substr(0, line.size() - ext);
  }
  return BeforeFirst(nameLine, '.');
}

std::string HitMolPath(const std::string& folder, const std::string& name) {
  bool exists = false;
  const std::string first = PathOfName(folder, name + ".mol", &exists);
  if (exists) return first;
  std::string candidates[] = {name + ".MOL", name + ".mol.gz", {}};
  if (const std::string_view cut = BeforeFirst(name, '.'); cut.size() < name.size()) {
    candidates[2] = std::string(cut) + ".mol";
  }
  for (const std::string& file : candidates) {
    if (file.empty()) continue;
    const std::string path = PathOfName(folder, file, &exists);
    if (exists) return path;
  }
  return first;
}

std::string MolFilePathFor(const std::string& folder, const std::string& nameLine) {
  return ScratchPath(folder, AnsiToUtf8(nameLine));
}

std::string MolCopyPathFor(const std::string& molFolder, const std::string& nameLine) {
  const std::string name(CompoundName(nameLine));
  const bool gz = EndsWithNoCase(TrimView(nameLine), ".gz");
  return ScratchPath(molFolder, AnsiToUtf8(name) + (gz ? ".mol.gz" : ".mol"));
}

std::string TrashFolderOf(const std::string& molFolder) {
  return ScratchPath(molFolder, kTrashFolderName);
}

bool IsTrashFolderName(std::string_view fileName) { return fileName == kTrashFolderName; }

std::string MoveToTrash(const std::string& molFolder, const std::string& path) {
  const std::string trash = TrashFolderOf(molFolder);
  if (::mkdir(trash.c_str(), 0777) != 0 && errno != EEXIST)
    ThrowFileError(trash, kCannotCreateFile);
  if (!IsFolder(trash)) ThrowFileError(trash, kCannotCreateFile);
  const std::string target = ScratchPath(trash, BaseName(path));
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (MoveFileNoReplace(path, target)) return target;
    if (SameFileBytes(path, target)) {
      // Deleted before with these very bytes: the trash has it already.
      if (::unlink(path.c_str()) != 0) ThrowFileError(path, kCannotReplaceFile);
      return target;
    }
    // The older file of that name steps aside; the newest keeps the name.
    for (int n = 1; n < 100000; ++n) {
      if (MoveFileNoReplace(target, target + "~" + std::to_string(n))) break;
    }
  }
  ThrowFileError(path, kCannotReplaceFile);
}

RestoredFile RestoreFromTrash(const std::string& molFolder, const std::string& name) {
  RestoredFile out;
  const std::string trash = TrashFolderOf(molFolder);
  const std::string from = HitMolPath(trash, name);
  if (!IsRegularFile(from)) return out;
  const std::string to = ScratchPath(molFolder, BaseName(from));
  out.path = to;
  if (MoveFileNoReplace(from, to)) {
    out.status = TrashRestore::kRestored;
  } else if (SameFileBytes(from, to)) {
    ::unlink(from.c_str());
    out.status = TrashRestore::kRestored;
  } else {
    out.status = TrashRestore::kOtherContent;
  }
  return out;
}

}  // namespace vuduzez
