#include "register/store.h"

#include <algorithm>

#include "database/connection_cache.h"
#include "database/database.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace vuduzez {

std::optional<std::string> NameFromAnswer(const std::string& answer, const std::string& offered) {
  if (answer == AnsiToUtf8(offered)) return offered;
  return Utf8ToAnsi(answer);
}

std::string NameLineFor(const std::string& name) {
  // "." never occurs inside a CP932 double-byte character, so a byte cut is safe.
  return std::string(BeforeFirst(name, '.')) + ".mol";
}

std::string ListedName(const std::string& nameLine) { return Trim(nameLine); }

EntryNameLine EntryNameLineFor(const std::string& fileName) {
  std::optional<std::string> nameLine = Utf8ToAnsi(fileName);
  if (!nameLine) return {EntryName::kNotCp932, {}};
  if (nameLine->size() <= 4) return {EntryName::kTooShort, {}};
  return {EntryName::kOk, std::move(*nameLine)};
}

bool CheckStorable(const PreparedStructure& prepared, const std::string& molFolder,
                   MessageSink& sink) {
  if (!CheckStorable(prepared, sink)) return false;
  if (prepared.molText.empty()) {
    // Prepared from something else than MOL text (SMILES): no MOL file to keep.
    sink.ShowMessage(kNoSearchData);
    return false;
  }
  if (molFolder.empty()) {
    sink.ShowMessage(kNoMolFolderForStore);
    return false;
  }
  return true;
}

std::string MolFilePathFor(const std::string& molFolder, const std::string& nameLine) {
  return ScratchPath(molFolder, AnsiToUtf8(nameLine));
}

bool CheckStorable(const PreparedStructure& prepared, MessageSink& sink) {
  switch (prepared.status) {
    case PrepareStatus::kReady:
      return true;
    case PrepareStatus::kKeyFailed:
      sink.ShowMessage(prepared.reason.empty() ? kKeyFailedFallback : prepared.reason);
      return false;
    case PrepareStatus::kNone:
    case PrepareStatus::kRefused:
      break;
  }
  sink.ShowMessage(kNoSearchData);
  return false;
}

StoreResult StoreStructure(PreparedStructure& prepared, const std::optional<std::string>& answer,
                           const std::string& dbPath, const std::string& molFolder,
                           std::vector<std::string>& namelist, MessageSink& sink) {
  StoreResult result;
  if (!CheckStorable(prepared, molFolder, sink)) return result;
  std::string name = prepared.name;
  if (answer) {
    std::optional<std::string> typed = NameFromAnswer(*answer, prepared.name);
    if (!typed) {
      sink.ShowMessage(NameNotShiftJisMessage(*answer));
      result.status = StoreStatus::kNameNotCp932;
      return result;
    }
    name = std::move(*typed);
  }
  const std::string nameLine = NameLineFor(name);
  const std::string cut = nameLine.substr(0, nameLine.size() - 4);  // without ".mol"
  // The name line is a file name too: nothing that names another folder, no
  // hidden ".mol".
  if (Trim(cut).empty() || cut.find('/') != std::string::npos) {
    const std::string shown = answer ? *answer : AnsiToUtf8(prepared.name);
    sink.ShowMessage(Trim(cut).empty() ? NameBlankMessage(shown) : NameSlashMessage(shown));
    result.status = StoreStatus::kNameRefused;
    return result;
  }
  prepared.name = cut;

  // The list holds name lines as read back (trimmed); compare like with like.
  result.listed = ListedName(nameLine);
  if (std::find(namelist.begin(), namelist.end(), result.listed) != namelist.end()) {
    sink.ShowMessage(kDuplicate);
    result.status = StoreStatus::kDuplicate;
    return result;
  }
  // The MOL file first, on disk before the record that names it.
  const std::string molPath = MolFilePathFor(molFolder, nameLine);
  const NewFile placed = CreateNewFile(molPath, prepared.molText);
  if (placed == NewFile::kOtherContent) {
    sink.ShowMessage(MolFileClashMessage(molPath));
    result.status = StoreStatus::kMolFileClash;
    return result;
  }
  const FileStamp before = StampOf(dbPath);
  try {
    AppendRecord(dbPath, nameLine, prepared.weight, prepared.formula, prepared.key);
  } catch (...) {
    // No MOL file of ours is left without its record.
    if (placed == NewFile::kCreated) RemoveCreatedFile(molPath);
    throw;
  }
  // The exact search reads the MOL file when it first needs it.
  AppendToConnectionCache(dbPath, before, {UnreadEntry(std::string(BeforeFirst(nameLine, '.')))});
  namelist.push_back(result.listed);
  result.status = StoreStatus::kStored;
  return result;
}

}  // namespace vuduzez
