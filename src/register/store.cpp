#include "register/store.h"

#include <algorithm>
#include <cstdio>

#include "database/appender.h"
#include "database/record_store.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace vuduzez {

std::string ShownName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 32) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

CheckedName Refused(std::string text) { return CheckedName{false, "", std::move(text)}; }

}  // namespace

CheckedName CheckRecordName(const std::string& utf8) {
  if (Trim(utf8).empty()) return Refused(NameBlankMessage(ShownName(utf8)));
  for (unsigned char c : utf8) {
    if (c < 32) return Refused(NameControlCharacterMessage(ShownName(utf8)));
  }
  std::optional<std::string> ansi = Utf8ToAnsi(utf8);
  if (!ansi) return Refused(NameNotShiftJisMessage(utf8));
  const std::string back = AnsiToUtf8(*ansi);
  if (back != utf8) return Refused(NameChangedByShiftJisMessage(utf8, back));
  return CheckedName{true, std::move(*ansi), ""};
}

std::optional<std::string> NameFromAnswer(const std::string& answer, const std::string& offered) {
  if (answer == AnsiToUtf8(offered)) return offered;
  return Utf8ToAnsi(answer);
}

std::string NameLineFor(const std::string& name) {
  // "." never occurs inside a CP932 double-byte character, so a byte cut is safe.
  return std::string(BeforeFirst(name, '.')) + ".mol";
}

std::string ListedName(const std::string& nameLine) { return Trim(nameLine); }

std::vector<IdentityMatch> RegisteredForms(const std::string& molText,
                                           const SoundIndex& registered) {
  return FindInIndex(registered, chem::StructureIdentity(molText));
}

std::string MatchNames(const std::vector<IdentityMatch>& matches, bool exact) {
  std::string names;
  for (const IdentityMatch& m : matches) {
    if ((m.level == chem::IdentityLevel::kExact) != exact) continue;
    if (!names.empty()) names += "、";
    names += AnsiToUtf8(m.name);
    if (!exact) names += std::string("（") + RelationText(m.level) + "）";
  }
  return names;
}

EntryNameLine EntryNameLineFor(const std::string& fileName) {
  if (std::optional<std::string> ansi = Utf8ToAnsi(fileName); ansi && ansi->size() <= 4) {
    return {EntryName::kTooShort, {}, {}};
  }
  CheckedName checked = CheckRecordName(fileName);
  if (!checked.ok) return {EntryName::kRefused, {}, std::move(checked.refusal)};
  return {EntryName::kOk, std::move(checked.line), {}};
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

bool CheckStorable(const PreparedStructure& prepared, MessageSink& sink) {
  switch (prepared.status) {
    case PrepareStatus::kReady:
      if (!prepared.queryFeature.empty()) {
        sink.ShowMessage(prepared.queryFeature);  // a search query, not a compound
        return false;
      }
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
  // The rule is checked on the name as the user sees it, cut at its first ".".
  const std::string shown = answer ? *answer : AnsiToUtf8(prepared.name);
  const CheckedName checked = CheckRecordName(std::string(BeforeFirst(shown, '.')));
  if (!checked.ok) {
    sink.ShowMessage(checked.refusal);
    result.status = StoreStatus::kNameRefused;
    return result;
  }
  // The name line is a file name too: nothing that names another folder.
  if (checked.line.find('/') != std::string::npos) {
    sink.ShowMessage(NameSlashMessage(shown));
    result.status = StoreStatus::kNameRefused;
    return result;
  }
  // A name confirmed or typed as offered keeps its original bytes.
  const std::string name =
      answer ? NameFromAnswer(*answer, prepared.name).value_or(checked.line) : prepared.name;
  const std::string nameLine = NameLineFor(name);
  prepared.name = nameLine.substr(0, nameLine.size() - 4);  // the cut name, without ".mol"

  // The list holds name lines as read back (trimmed); compare like with like.
  result.listed = ListedName(nameLine);
  if (std::find(namelist.begin(), namelist.end(), result.listed) != namelist.end()) {
    sink.ShowMessage(kDuplicate);
    result.status = StoreStatus::kDuplicate;
    return result;
  }
  // The MOL file first, on disk before the record that names it; what a
  // killed store or import left half-written in the folder goes.
  RemoveUnfinishedNewFiles(molFolder);
  const std::string molPath = MolFilePathFor(molFolder, nameLine);
  const NewFile placed = CreateNewFile(molPath, prepared.molText);
  if (placed == NewFile::kOtherContent) {
    sink.ShowMessage(MolFileClashMessage(molPath));
    result.status = StoreStatus::kMolFileClash;
    return result;
  }
  bool duplicate = false;
  try {
    // The duplicate test reads the name lines and keeps only this name; the
    // caches follow when nobody else changed the database.
    RecordAppender appender(dbPath, molFolder);
    appender.Watch({result.listed});
    AppendItem item{{nameLine, prepared.weight, prepared.formula, prepared.key},
                    PerceiveEntryText(std::string(CompoundName(nameLine)), MolStampOf(molPath),
                                      prepared.molText)};
    duplicate = appender.AppendIfNew(std::move(item)).has_value();
  } catch (...) {
    // No MOL file of ours is left without its record.
    if (placed == NewFile::kCreated) RemoveCreatedFile(molPath);
    throw;
  }
  if (duplicate) {
    // Another program stored the name meanwhile; its MOL file is not ours to keep.
    if (placed == NewFile::kCreated) RemoveCreatedFile(molPath);
    sink.ShowMessage(kDuplicate);
    result.status = StoreStatus::kDuplicate;
    return result;
  }
  namelist.push_back(result.listed);
  result.status = StoreStatus::kStored;
  return result;
}

}  // namespace vuduzez
