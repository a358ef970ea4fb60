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

BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           std::string& keyfail, MessageSink& sink) {
  namespace fs = std::filesystem;
  BatchSummary summary;
  if (folder.empty()) {
    sink.ShowMessage(kNoMolFolder);
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
    sink.ShowError(error);
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
      entry.reason = kSkippedShortName;
    } else if (!IsRegularFile(path)) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedNotRegularFile;
    } else if (!nameLine) {
      entry.outcome = EntryOutcome::kRefused;
      entry.reason = kFileNameNotCp932;
      sink.ShowMessage(name + ": " + entry.reason);
    } else if (auto found = registered.find(Trim(*nameLine)); found != registered.end()) {
      entry.outcome = EntryOutcome::kAlreadyRegistered;
      entry.reason = AnsiToUtf8(found->second) + kAlreadyRegistered;
      sink.ShowMessage(entry.reason);
    } else {
      // The reader's and key generation's messages, with the file name in front;
      // the last one is the entry's reason.
      ForwardingSink entryUi(sink, name + ": ");
      std::string last;
      entryUi.beforeText = [&last](const std::string& text) { last = text; };
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
        entry.reason = last;
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
    sink.Progress(++done, total);
  }
  AppendToConnectionCache(dbPath, before, std::move(added));
  summary.finished = true;
  sink.ShowMessage(kBatchFinished);
  return summary;
}

int DeleteCompound(const std::string& dbPath, const std::string& nameLine,
                   const std::string& scratchFolder, MessageSink& sink) {
  int removed = DeleteRecords(dbPath, nameLine, scratchFolder);
  RealignConnectionCache(dbPath);
  sink.ShowMessage(AnsiToUtf8(nameLine) + kDeleted);
  return removed;
}

}  // namespace vuduzez
