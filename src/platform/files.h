// Whole files, shared with other programs and other users: reading one
// without ever waiting on a special file, writing one, replacing one so that
// a complete version of it exists at every moment, appending durably.
// Failures throw RuntimeError with the system's file texts.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/messages.h"

namespace vuduzez {

// Opens path for reading and returns the descriptor. A FIFO, device, socket or
// folder is refused at once (never waited on) with kNotRegularFile; a missing
// file raises "ファイルが見つかりません".
int OpenRegularFileForReading(const std::string& path);

// Every byte of an open file from offset 0; path names it in errors.
std::string ReadAllFrom(int fd, const std::string& path);

// The whole file as bytes, through OpenRegularFileForReading; a failed read
// throws "ファイルを読み込めません".
std::string ReadFileBytes(const std::string& path);

// Creates or truncates the file and writes the bytes; throws on failure.
void WriteFileBytes(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool IsRegularFile(const std::string& path);

// The steps of a replacement, in order. Tests make one of them fail.
enum class ReplaceStep { kCreate, kWrite, kSync, kRename, kSyncFolder };

// Returns true to make the step fail as if the system call had failed.
using ReplaceFault = std::function<bool(ReplaceStep)>;

// Replaces the file at path by bytes. The new content goes to a new file with
// a unique name beside it (IsReplacementName), created exclusively with mode
// 0600 and never through a link, is flushed to disk and renamed over the old
// file; then the folder is flushed. The file keeps its permission bits (and
// owner where allowed); a symbolic link is followed and its target replaced. A
// missing file is created. Any failure before the rename leaves the old file
// untouched and removes the half-written one; it then throws RuntimeError.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const ReplaceFault& fault = {});

// Whether name (a bare file name) is one of ours for a replacement of the file
// whose bare name is base: base + ".vuduzez-new-" + six letters or digits.
bool IsReplacementName(std::string_view name, std::string_view base);

// Removes the replacement files a killed process left beside the file at path
// (its link target). Call only while holding the file's exclusive lock: then
// no replacement of it is being written. Files that cannot be removed stay.
void RemoveStaleReplacements(const std::string& path);

// Appends bytes at the end of the open file fd, whose size was sizeBefore. A
// write that fails part-way is cut off again, so the file ends as it was; the
// caller holds the file's exclusive lock, so nobody else appended meanwhile.
// Throws RuntimeError naming path.
void AppendAll(int fd, const std::string& path, off_t sizeBefore, std::string_view bytes);

// Flushes the data written to fd to disk; throws RuntimeError naming path.
void SyncData(int fd, const std::string& path);

}  // namespace vuduzez
