#include "register/store.h"

#include <algorithm>

#include "database/connection_cache.h"
#include "database/database.h"
#include "platform/encoding.h"
#include "platform/messages.h"
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
                           const std::string& dbPath, std::vector<std::string>& namelist,
                           MessageSink& sink) {
  StoreResult result;
  if (!CheckStorable(prepared, sink)) return result;
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
  prepared.name = nameLine.substr(0, nameLine.size() - 4);  // the cut name, without ".mol"

  // The list holds name lines as read back (trimmed); compare like with like.
  result.listed = ListedName(nameLine);
  if (std::find(namelist.begin(), namelist.end(), result.listed) != namelist.end()) {
    sink.ShowMessage(kDuplicate);
    result.status = StoreStatus::kDuplicate;
    return result;
  }
  const FileStamp before = StampOf(dbPath);
  AppendRecord(dbPath, nameLine, prepared.weight, prepared.formula, prepared.key);
  // The structure need not be the record's MOL file: the exact search reads
  // that file when it first needs it.
  AppendToConnectionCache(dbPath, before, {UnreadEntry(std::string(BeforeFirst(nameLine, '.')))});
  namelist.push_back(result.listed);
  result.status = StoreStatus::kStored;
  return result;
}

}  // namespace vuduzez
