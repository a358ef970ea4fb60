#include "register/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "database/connection_cache.h"
#include "database/database.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "register/store.h"

namespace vuduzez {

BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           MessageSink& sink) {
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
      std::string listed = ListedName(line);
      registered.emplace(std::move(listed), std::move(line));
    }
  } catch (const RuntimeError& e) {
    return stop(e.what());
  }

  const int total = static_cast<int>(names.size());
  int done = 0;
  for (const std::string& name : names) {
    if (sink.StopRequested()) {
      AppendToConnectionCache(dbPath, before, std::move(added));
      summary.stopped = true;
      return summary;
    }
    BatchEntry entry;
    entry.fileName = name;
    const std::string path = folder + "/" + name;
    const EntryNameLine entryName = EntryNameLineFor(name);
    const std::string& nameLine = entryName.nameLine;
    if (entryName.verdict == EntryName::kTooShort) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedShortName;
    } else if (!IsRegularFile(path)) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedNotRegularFile;
    } else if (entryName.verdict == EntryName::kNotCp932) {
      entry.outcome = EntryOutcome::kRefused;
      entry.reason = kFileNameNotCp932;
      sink.ShowMessage(name + ": " + entry.reason);
    } else if (auto found = registered.find(ListedName(nameLine)); found != registered.end()) {
      entry.outcome = EntryOutcome::kAlreadyRegistered;
      entry.reason = AnsiToUtf8(found->second) + kAlreadyRegistered;
      sink.ShowMessage(entry.reason);
    } else {
      // The reader's and key generation's messages, with the file name in front.
      ForwardingSink entrySink(sink, name + ": ");
      PreparedStructure prepared;
      const FileStamp molStamp = StampOf(path);  // before the read: a later edit is seen
      try {
        prepared = PrepareMolFile(mol, path, entrySink);
      } catch (const RuntimeError& e) {
        entrySink.ShowMessage(e.what());
        prepared.reason = e.what();
      }
      if (prepared) {
        try {
          AppendRecord(dbPath, nameLine, prepared.weight, prepared.formula, prepared.key);
        } catch (const RuntimeError& e) {
          entry.outcome = EntryOutcome::kRefused;
          entry.reason = e.what();
          ++summary.refused;
          summary.entries.push_back(std::move(entry));
          return stop(e.what());
        }
        registered.emplace(ListedName(nameLine), nameLine);
        added.push_back({std::string(BeforeFirst(nameLine, '.')),
                         molStamp,
                         CtStatus::kOk,
                         {},
                         BuildConnectionTable(mol)});
        entry.outcome = EntryOutcome::kRegistered;
      } else {
        entry.outcome = EntryOutcome::kRefused;
        entry.reason = prepared.reason;
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

}  // namespace vuduzez
