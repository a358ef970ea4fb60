#include "register/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "database/record_store.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "register/record_name.h"

namespace vuduzez {

namespace {

// Keeps the reader's and key generation's messages for the summary instead
// of showing each of them.
class EntrySink : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { last = text; }
  std::string last;
};

// Lines of the closing message listed per kind before the rest is counted.
constexpr size_t kListedEntries = 20;

}  // namespace

BatchSummary BatchRegister(const std::string& folder, const std::string& dbPath, Molecule& mol,
                           std::string& keyfail, MessageSink& sink) {
  namespace fs = std::filesystem;
  BatchSummary summary;
  if (folder.empty()) {
    sink.ShowMessage(kNoMolFolder);
    summary.finished = true;
    return summary;
  }

  auto stop = [&](const std::string& error) {
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

  // The registered names, read once and kept in step with the file; entries
  // appended in this run join them, so a second file of the same name in one
  // run is a duplicate too.
  RecordStore store(dbPath, kBatchSyncEvery);
  try {
    store.Load();
  } catch (const RuntimeError& e) {
    return stop(e.what());
  }

  const int total = static_cast<int>(names.size());
  int done = 0;
  for (const std::string& name : names) {
    BatchEntry entry;
    entry.fileName = name;
    const std::string path = folder + "/" + name;
    const std::optional<std::string> ansi = Utf8ToAnsi(name);
    const CheckedName checked = CheckRecordName(name);
    const std::string* registered = checked.ok ? store.Registered(Trim(checked.line)) : nullptr;
    if (ansi && ansi->size() <= 4) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedShortName;
    } else if (!IsRegularFile(path)) {
      entry.outcome = EntryOutcome::kSkipped;
      entry.reason = kSkippedNotRegularFile;
    } else if (!checked.ok) {
      entry.outcome = EntryOutcome::kRefused;
      entry.reason = checked.refusal;
    } else if (registered != nullptr) {
      entry.outcome = EntryOutcome::kAlreadyRegistered;
      entry.reason = AnsiToUtf8(*registered) + kAlreadyRegistered;
    } else {
      EntrySink entrySink;
      bool ok = false;
      try {
        if (ReadMolFile(mol, path, entrySink)) {
          CalcFormulaWeight(mol);
          keyfail = "F";
          ok = MakeStructureKey(mol, keyfail, entrySink) && keyfail == "F";
        }
      } catch (const RuntimeError& e) {
        entrySink.last = e.what();
      }
      if (ok) {
        std::optional<std::string> already;
        try {
          already = store.AppendIfNew({checked.line, mol.molweight, mol.molformula, mol.keydata});
        } catch (const RuntimeError& e) {
          entry.outcome = EntryOutcome::kRefused;
          entry.reason = e.what();
          ++summary.refused;
          summary.entries.push_back(std::move(entry));
          try {
            store.Flush();
          } catch (const RuntimeError&) {
            // The first error is the one to report.
          }
          return stop(e.what());
        }
        if (already) {
          // Another program registered it while this entry was being keyed.
          entry.outcome = EntryOutcome::kAlreadyRegistered;
          entry.reason = AnsiToUtf8(*already) + kAlreadyRegistered;
        } else {
          entry.outcome = EntryOutcome::kRegistered;
        }
      } else {
        entry.outcome = EntryOutcome::kRefused;
        entry.reason = entrySink.last;
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
  try {
    store.Flush();
  } catch (const RuntimeError& e) {
    return stop(e.what());
  }
  summary.finished = true;
  sink.ShowMessage(BatchFinishedMessage(summary));
  return summary;
}

std::string BatchFinishedMessage(const BatchSummary& summary) {
  std::string text = kBatchFinished;
  if (summary.refused == 0 && summary.alreadyRegistered == 0) return text;
  text +=
      "\n\n" + BatchCountsMessage(summary.registered, summary.alreadyRegistered, summary.refused);
  auto list = [&](EntryOutcome outcome, const char* heading, bool withName) {
    size_t listed = 0, more = 0;
    for (const BatchEntry& e : summary.entries) {
      if (e.outcome != outcome) continue;
      if (listed == kListedEntries) {
        ++more;
        continue;
      }
      if (listed++ == 0) text += std::string("\n\n") + heading;
      text += "\n" + (withName ? e.fileName + ": " : std::string()) + e.reason;
    }
    if (more > 0) text += "\n" + MoreEntriesMessage(more);
  };
  list(EntryOutcome::kRefused, kRefusedFilesHeading, true);
  list(EntryOutcome::kAlreadyRegistered, kRegisteredFilesHeading, false);
  return text;
}

int DeleteCompound(const std::string& dbPath, const std::string& nameLine, MessageSink& sink) {
  const int removed = DeleteRecords(dbPath, nameLine);
  if (removed == 0) {
    sink.ShowError(NotInDatabaseMessage(AnsiToUtf8(nameLine)));
  } else {
    sink.ShowMessage(AnsiToUtf8(nameLine) + kDeleted);
  }
  return removed;
}

}  // namespace vuduzez
