// Whole files, shared with other programs and other users: reading one
// without ever waiting on a special file, writing one, replacing one so that
// a complete version of it exists at every moment, appending durably.
// Failures throw RuntimeError with the system's file texts.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// A read-only private mapping of a whole open file, for readers that run a
// short while (a CLI command): no copy, no memory beyond the file's pages.
// A file cut short by another program while mapped would fault; files of the
// system are only ever replaced by rename or grown, never cut in place below
// what a reader under the shared lock saw.
class MappedFile {
 public:
  // Maps the open file; an empty file gives an empty view. Throws
  // RuntimeError naming path when it cannot be mapped.
  MappedFile(int fd, const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
};

// Creates or truncates the file and writes the bytes; throws on failure.
void WriteFileBytes(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);

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
// Whether a folder entry is the hidden first name of a new file (CreateNewFile,
// NewFileBatch) that a killed run left behind: never a compound of the user's.
bool IsUnfinishedNewFile(std::string_view name);

// New files made as CreateNewFile makes one, together: Stage writes each
// one's bytes to a uniquely named file beside its path; Commit flushes them all to disk at once,
// links each to its path and flushes the folders, so a path never names a half-written file and a
// symbolic link there is never followed. Until Commit nothing is at the paths; what is staged and
// not committed is removed by Discard or when the batch ends. Where something is at a path already,
// it is compared: a regular file with exactly these bytes is kSameContent; any other file, a
// symbolic link or a folder is kOtherContent.
class NewFileBatch {
 public:
  NewFileBatch() = default;
  ~NewFileBatch();
  NewFileBatch(const NewFileBatch&) = delete;
  NewFileBatch& operator=(const NewFileBatch&) = delete;

  // kSameContent or kOtherContent at once when something is at path (nothing
  // is staged); otherwise the bytes are staged and kCreated is given. Throws
  // RuntimeError when the folder is missing or the bytes cannot be written.
  NewFile Stage(const std::string& path, std::string_view bytes);

  // Makes every staged file, in Stage order: kCreated, or what was found at
  // its path meanwhile. Throws RuntimeError when the files cannot be flushed
  // or linked; none of them is then left.
  std::vector<NewFile> Commit();

  void Discard();
  size_t size() const { return staged_.size(); }

 private:
  struct Staged {
    std::string path;
    std::string temp;
    std::string bytes;
    int fd;
  };
  std::vector<Staged> staged_;
};

// Removes from folder the hidden first names of new files (IsUnfinishedNewFile)
// that a killed store or import left: those no running one holds locked (each
// holds the lock of every such file it writes until the file has its own
// name) and that are more than a few seconds old; one that cannot even be
// opened goes when it is a day old. Files that cannot be removed stay.
void RemoveUnfinishedNewFiles(const std::string& folder);

// Moves the file at from to the path to (in the same file system) without
// ever replacing what is at to: false, and nothing moved, when something is
// there. Both folders are flushed. Throws RuntimeError naming from on any
// other failure (nothing moved then).
bool MoveFileNoReplace(const std::string& from, const std::string& to);

// Whether the two paths are regular files with the same bytes.
bool SameFileBytes(const std::string& a, const std::string& b);

// Removes a file that CreateNewFile or a NewFileBatch made, for an action that failed after
// it; the folder is flushed. Returns false when it could not be removed.
bool RemoveCreatedFile(const std::string& path);

// The steps of a replacement, in order. Tests make one of them fail.
enum class ReplaceStep { kCreate, kWrite, kSync, kRename, kSyncFolder };

// Returns true to make the step fail as if the system call had failed.
using ReplaceFault = std::function<bool(ReplaceStep)>;

// Replaces the file at path by bytes. The new content goes to a new file with
// a unique name beside it (IsReplacementName), created exclusively with mode
// 0600 and never through a link, is flushed to disk and renamed over the old
// file; then the folder is flushed. The file keeps its permission bits and its
// group (and its owner where allowed: for the administrator); a symbolic link
// is followed and its target replaced. A
// missing file is created. Any failure before the rename leaves the old file
// untouched and removes the half-written one; it then throws RuntimeError.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const ReplaceFault& fault = {});

// Where the new content of a replacement goes: written in large blocks.
class ReplacementWriter {
 public:
  ReplacementWriter(int fd, std::string path);
  void Write(std::string_view bytes);  // throws RuntimeError on a write error
  void Finish();                       // writes what is buffered

 private:
  void StartWriteBack();

  static constexpr off_t kWriteBackStep = off_t{8} << 20;
  int fd_;
  std::string path_;
  std::string buf_;
  off_t written_ = 0;    // bytes written to fd_
  off_t startedTo_ = 0;  // write-back started for the bytes before
};

// The same, the new content written by produce as it is made (memory
// independent of the file's size). What produce throws ends the replacement
// as a failure would: the old file stays, the new one is removed.
void ReplaceFileWith(const std::string& path,
                     const std::function<void(ReplacementWriter&)>& produce,
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
// While it writes, a note beside the file (AppendNoteText, in path +
// ".vuduzez-append." + the user's id) lets the next holder of the lock undo a
// write a killed process left unfinished (a fatal signal can cut a write of
// several pages short). Throws RuntimeError naming path.
void AppendAll(int fd, const std::string& path, off_t sizeBefore, std::string_view bytes);

// What the note of an append of bytes to the file st at sizeBefore holds: the
// file's identity, sizeBefore, the length of the append, and a checksum of
// each piece of it that ends where a page of the file ends (a kill stops a
// write only there) or where the append ends.
std::string AppendNoteText(const struct stat& st, off_t sizeBefore, std::string_view bytes);

// With the exclusive lock on the open file fd at path: when a process of this
// user killed while appending left its note, and the file is provably as that
// process left it (the same file, ending inside the append at a piece's end,
// every piece written matching its checksum), the file is cut back to where
// that append began. In every other case the note is stale: it is removed and
// the file is not touched. Returns the number of bytes cut off.
off_t UndoKilledAppend(int fd, const std::string& path);

// Flushes the data written to fd to disk; throws RuntimeError naming path.
void SyncData(int fd, const std::string& path);

}  // namespace vuduzez
