// Whole files: reading one, writing one, replacing one so that a complete
// version of it exists at every moment (the new bytes go to a file beside it,
// are flushed to disk and renamed over the old one, and the folder is synced),
// appending to one. Failures throw RuntimeError with the system's file texts.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vuduzez {

// The whole file as bytes. A file that cannot be opened or is not a regular
// file throws "ファイルが見つかりません", a failed read "ファイルを読み込めません".
std::string ReadFileBytes(const std::string& path);

// Creates or truncates the file and writes the bytes; throws on failure.
void WriteFileBytes(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool IsRegularFile(const std::string& path);

// What CreateNewFile found or made.
enum class NewFile { kCreated, kSameContent, kOtherContent };

// Puts bytes at path as a new file and never changes a file that is there.
// The bytes go to a uniquely named file beside it (created exclusively), are
// flushed to disk and linked to path, and the folder is flushed, so that path
// never names a half-written file. Where something is at path already, it is
// compared: a regular file with exactly these bytes is kSameContent; any other
// file, a symbolic link (never followed) or a folder is kOtherContent. A
// missing folder or a failed write throws RuntimeError and leaves nothing.
NewFile CreateNewFile(const std::string& path, std::string_view bytes);

// Removes a file that CreateNewFile made, for an action that failed after
// it; the folder is flushed. Returns false when it could not be removed.
bool RemoveCreatedFile(const std::string& path);

// The steps of a replacement, in order. Tests make one of them fail.
enum class ReplaceStep { kCreate, kWrite, kSync, kRename, kSyncFolder };

// Returns true to make the step fail as if the system call had failed.
using ReplaceFault = std::function<bool(ReplaceStep)>;

// Replaces the file at path by bytes. The file keeps its permission bits (and
// owner where allowed); a symbolic link is followed and its target replaced. A
// missing file is created. Any failure before the rename leaves the old file
// untouched and removes the half-written one; it then throws RuntimeError.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const ReplaceFault& fault = {});

// Appends bytes to an existing file (it is never created). A write that fails
// part-way is cut off again, so the file ends as it was; throws RuntimeError.
void AppendToExistingFile(const std::string& path, std::string_view bytes);

}  // namespace vuduzez
