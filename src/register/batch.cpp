#include "register/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "database/connection_cache.h"
#include "database/database.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

// Shows the reader's and key generation's messages with the file name in
// front, and remembers the last one as the entry's reason.
class EntryUi : public Ui {
 public:
  EntryUi(Ui& inner, const std::string& fileName) : inner_(inner), prefix_(fileName + ": ") {}
  void ShowMessage(const std::string& text) override {
    last = text;
    inner_.ShowMessage(prefix_ + text);
  }
  void ShowError(const std::string& text) override {
    last = text;
    inner_.ShowError(prefix_ + text);
  }
  std::string last;

 private:
  Ui& inner_;
  std::string prefix_;
};

}  // namespace

BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           std::string& keyfail, Ui& ui) {
  namespace fs = std::filesystem;
  BatchSummary summary;
  if (folder.empty()) {
    ui.ShowMessage(kNoMolFolder);
    summary.finished = true;
    return summary;
  }

  // The connection tables of the records appended, for the exact search's
  // cache; it is brought up to date however the run ends.
  const FileStamp before = StampOf(dbPath);
  std::vector<CtEntry> added;
  auto stop = [&](const std::string& error) {
    AppendToConnectionCache(dbPath, before, std::move(added));
    summary.error = error;
    ui.ShowError(error);
    return summary;
  };

  // The listing, in byte order of the names so that a run is reproducible.
  std::vector<std::string> names;
  {
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      names.push_back(it->path().filename().string());
    }
    if (ec) return stop(std::string(kFileNotFound) + ": " + folder);
  }
  std::sort(names.begin(), names.end());

  // The registered name lines, read once; entries appended in this run join
  // them, so a second file of the same name in one run is a duplicate too.
  std::unordered_map<std::string, std::string> registered;  // trimmed -> as read
  try {
    for (std::string& line : LoadNameLinesAsRead(dbPath)) {
      std::string trimmed = Trim(line);
      registered.emplace(std::move(trimmed), std::move(line));
    }
  } catch (const RuntimeError& e) {
    return stop(e.what());
  }

  const int total = static_cast<int>(names.size());
  int done = 0;
  for (const std::string& name : names) {
    BatchEntry entry;
    entry.fileName = name;
    const std::string path = folder + "/" + name;
    std::optional<std::string> nameLine = Utf8ToAnsi(name);
    if (nameLine && nameLine->size() <= 4) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = "name of 4 bytes or fewer";
    } else if (!IsRegularFile(path)) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = "not a regular file";
    } else if (!nameLine) {
      entry.outcome = EntryOutcome::kRefused;
      entry.reason = "ファイル名をCP932に変換できません";
      ui.ShowMessage(name + ": " + entry.reason);
    } else if (auto found = registered.find(Trim(*nameLine)); found != registered.end()) {
      entry.outcome = EntryOutcome::kAlreadyRegistered;
      entry.reason = AnsiToUtf8(found->second) + kAlreadyRegistered;
      ui.ShowMessage(entry.reason);
    } else {
      EntryUi entryUi(ui, name);
      bool ok = false;
      const FileStamp molStamp = StampOf(path);  // before the read: a later edit is seen
      try {
        if (ReadMolFile(mol, path, entryUi)) {
          CalcFormulaWeight(mol);
          keyfail = "F";
          ok = MakeStructureKey(mol, keyfail, entryUi) && keyfail == "F";
        }
      } catch (const RuntimeError& e) {
        entryUi.ShowMessage(e.what());
      }
      if (ok) {
        try {
          AppendRecord(dbPath, *nameLine, mol.molweight, mol.molformula, mol.keydata);
        } catch (const RuntimeError& e) {
          entry.outcome = EntryOutcome::kRefused;
          entry.reason = e.what();
          ++summary.refused;
          summary.entries.push_back(std::move(entry));
          return stop(e.what());
        }
        registered.emplace(Trim(*nameLine), *nameLine);
        added.push_back({std::string(BeforeFirst(*nameLine, '.')),
                         molStamp,
                         CtStatus::kOk,
                         {},
                         BuildConnectionTable(mol)});
        entry.outcome = EntryOutcome::kRegistered;
      } else {
        entry.outcome = EntryOutcome::kRefused;
        entry.reason = entryUi.last;
      }
    }
    switch (entry.outcome) {
      case EntryOutcome::kRegistered:
        ++summary.registered;
        break;
      case EntryOutcome::kAlreadyRegistered:
        ++summary.alreadyRegistered;
        break;
      case EntryOutcome::kRefused:
        ++summary.refused;
        break;
      case EntryOutcome::kSkipped:
        ++summary.skipped;
        break;
    }
    summary.entries.push_back(std::move(entry));
    ui.Progress(++done, total);
  }
  AppendToConnectionCache(dbPath, before, std::move(added));
  summary.finished = true;
  ui.ShowMessage(kBatchFinished);
  return summary;
}

int DeleteCompound(const std::string& dbPath, const std::string& nameLine,
                   const std::string& scratchFolder, Ui& ui) {
  int removed = DeleteRecords(dbPath, nameLine, scratchFolder);
  RealignConnectionCache(dbPath);
  ui.ShowMessage(AnsiToUtf8(nameLine) + kDeleted);
  return removed;
}

}  // namespace vuduzez
