#include "register/import.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "database/appender.h"
#include "database/cache_stamp.h"
#include "database/identity_catalog.h"
#include "database/mol_files.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "register/batch.h"
#include "register/prepare.h"
#include "register/store.h"

namespace vuduzez {

namespace {

// Longest file name the file systems take, in bytes.
constexpr size_t kMaxFileNameBytes = 255;

std::string FileBaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Keeps the reader's and key generation's messages out of the user's way:
// they become the record's message.
class QuietSink : public MessageSink {
 public:
  void ShowMessage(const std::string&) override {}
};

// A record waiting for its group to be written.
struct Pending {
  int64_t number;
  std::string fileName;  // UTF-8
  std::string nameLine;  // CP932
  PreparedStructure prepared;
  SoundEntry sound;
  std::string molPath;
  bool staged;         // its MOL file is to be made (not found there with the same bytes)
  std::string sameAs;  // UTF-8: the registered compounds of the same structure
  // A record decided without a MOL file of the group (refused, registered
  // already, left out): reported in its turn when the group is written.
  std::optional<ImportRecord> decided;
};

bool EndsWithMol(std::string_view name) {
  if (name.size() < 4) return false;
  std::string ext(name.substr(name.size() - 4));
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext == ".mol";
}

// What is said of a record the reader or key generation refused. Key
// generation's texts that follow a name ("は分子が大きすぎます") get the file name.
std::string RefusalMessage(int64_t number, const std::string& fileName, const std::string& reason) {
  if (reason == kMoleculeTooLarge) return SdRecordPrefix(number) + fileName + reason;
  return SdRecordPrefix(number, fileName) + reason;
}

}  // namespace

std::string RecordName(const SdRecord& record, const std::string& nameField,
                       const std::string& sdPath) {
  if (!nameField.empty()) {
    if (const std::string* value = record.Find(nameField); value && !Trim(*value).empty()) {
      return *value;
    }
  }
  if (!Trim(record.title).empty()) return record.title;
  const std::string file = sdPath == kStandardInput ? "stdin" : FileBaseName(sdPath);
  return std::string(BeforeFirst(file, '.')) + "_" + std::to_string(record.number);
}

RecordFileName RecordFileNameFor(std::string_view source) {
  // UTF-8 (ASCII included), or else the system's own CP932.
  const std::string bytes(source);
  const std::string utf8 = IsValidUtf8(bytes) ? bytes : AnsiToUtf8(bytes);
  const std::string name = Trim(utf8);
  RecordFileName out;
  // A name of dots alone is no name (".", ".." are folders).
  const bool dots = name.find_first_not_of('.') == std::string::npos;
  if (const CheckedName checked = CheckRecordName(dots ? std::string() : name); !checked.ok) {
    out.refusal = checked.refusal;
  } else if (name.find('/') != std::string::npos) {
    out.refusal = NameSlashMessage(name);
  } else if (name.size() + (EndsWithMol(name) ? 0 : 4) > kMaxFileNameBytes) {
    out.refusal = NameTooLongMessage(name);
  } else {
    out.fileName = EndsWithMol(name) ? name : name + ".mol";
  }
  return out;
}

std::string MolFileWithData(const std::string& molText, const SdRecord& record) {
  std::string out = molText;
  for (const SdDataItem& item : record.data) {
    out += item.header;
    out += "\r\n";
    for (size_t from = 0;;) {
      const size_t nl = item.value.find('\n', from);
      out += item.value.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
      out += "\r\n";
      if (nl == std::string::npos) break;
      from = nl + 1;
    }
    out += "\r\n";
  }
  return out;
}

ImportSummary ImportSdFile(const std::string& sdPath, const std::string& dbPath,
                           const std::string& molFolder, const std::string& nameField,
                           Molecule& mol, MessageSink& sink,
                           const std::function<void(const ImportRecord&)>& onRecord,
                           const ImportOptions& options) {
  ImportSummary summary;
  summary.skippedSameStructure = options.skipSameStructure;
  auto fail = [&](const std::string& error) {
    summary.error = error;
    sink.ShowError(error);
  };
  if (molFolder.empty()) {
    fail(kNoMolFolder);
    return summary;
  }
  if (!IsFolder(molFolder)) {
    fail(std::string(kFileNotFound) + ": " + molFolder);
    return summary;
  }

  // Half-written MOL files a killed store or import left in the folder go.
  RemoveUnfinishedNewFiles(molFolder);

  // The registered names, read once and kept in step with the database, and
  // the registered structures (those of this run join them).
  RecordAppender store(dbPath, molFolder, kBatchSyncEvery);
  IdentityCatalog catalog(options.registered);
  std::optional<SdReader> reader;
  try {
    if (sdPath == kStandardInput) {
      reader.emplace(STDIN_FILENO);
    } else {
      reader.emplace(sdPath);
    }
    store.Load();
  } catch (const RuntimeError& e) {
    fail(e.what());
    return summary;
  }

  auto report = [&](ImportRecord&& r) {
    switch (r.outcome) {
      case ImportOutcome::kRegistered:
        ++summary.registered;
        break;
      case ImportOutcome::kAlreadyRegistered:
        ++summary.alreadyRegistered;
        break;
      case ImportOutcome::kRefused:
        ++summary.refused;
        break;
      case ImportOutcome::kNotV2000:
        ++summary.notV2000;
        break;
      case ImportOutcome::kSameStructure:
        break;
    }
    if (!r.sameAs.empty()) {
      ++summary.sameStructure;
      if (summary.listedSame.size() <= kImportListed) {
        summary.listedSame.push_back(SdRecordPrefix(r.number, r.fileName) +
                                     SameStructureAsMessage(r.sameAs));
      }
    }
    if (r.outcome != ImportOutcome::kRegistered && r.outcome != ImportOutcome::kSameStructure &&
        summary.listed.size() <= kImportListed) {
      summary.listed.push_back(r.message);  // one more than listed: "ほか n 件" follows
    }
    if (onRecord) onRecord(r);
  };

  // The group: MOL files first, flushed to disk together, then the records
  // that name them. A record not appended takes its MOL file with it.
  std::vector<Pending> group;
  std::unordered_set<std::string> groupNames;  // listed names of the group
  NewFileBatch files;
  // Returns false when the run must end (its error has been shown).
  auto writeGroup = [&]() -> bool {
    std::vector<NewFile> placed;
    try {
      placed = files.Commit();
    } catch (const RuntimeError& e) {
      fail(e.what());
      return false;
    }
    size_t next = 0;
    for (size_t i = 0; i < group.size(); ++i) {
      Pending& p = group[i];
      if (p.decided) {
        report(std::move(*p.decided));
        continue;
      }
      const NewFile what = p.staged ? placed[next++] : NewFile::kSameContent;
      if (what == NewFile::kOtherContent) {
        // Another program put a file there while the group was made.
        report({p.number,
                p.fileName,
                ImportOutcome::kRefused,
                SdRecordPrefix(p.number) + MolFileClashMessage(p.molPath),
                {}});
        continue;
      }
      ImportRecord r{p.number, p.fileName, ImportOutcome::kRegistered, {}, p.sameAs};
      try {
        AppendItem item{{p.nameLine, p.prepared.weight, p.prepared.formula, p.prepared.key},
                        std::move(p.sound)};
        item.sound.mol = MolStampOf(p.molPath);  // the file as it is now in place
        if (std::optional<std::string> already = store.AppendIfNew(std::move(item))) {
          // Another program registered it while the group was made.
          r.outcome = ImportOutcome::kAlreadyRegistered;
          r.message = SdRecordPrefix(p.number) + AnsiToUtf8(*already) + kAlreadyRegistered;
          r.sameAs.clear();
          if (p.staged && placed[next - 1] == NewFile::kCreated) RemoveCreatedFile(p.molPath);
        }
      } catch (const RuntimeError& e) {
        // This record and the rest of the group are not registered: their new
        // MOL files go again.
        for (size_t k = i, n = next - (p.staged ? 1 : 0); k < group.size(); ++k) {
          if (group[k].staged && placed[n++] == NewFile::kCreated) {
            RemoveCreatedFile(group[k].molPath);
          }
        }
        // What was decided of the records after it stands.
        for (size_t k = i + 1; k < group.size(); ++k) {
          if (group[k].decided) report(std::move(*group[k].decided));
        }
        group.clear();
        fail(e.what());
        return false;
      }
      report(std::move(r));
    }
    group.clear();
    groupNames.clear();
    return true;
  };
  // The group in hand and the appended records on disk, however the run ends.
  auto finish = [&]() -> bool {
    if (!writeGroup()) return false;
    try {
      store.Flush();
    } catch (const RuntimeError& e) {
      fail(e.what());
      return false;
    }
    return true;
  };

  // Record order on output: a record decided at once waits for the group
  // written before it.
  auto decide = [&](ImportRecord&& r) {
    if (group.empty()) {
      report(std::move(r));
      return;
    }
    Pending p{};
    p.number = r.number;
    p.staged = false;
    p.decided = std::move(r);
    group.push_back(std::move(p));
  };
  SdRecord record;
  int lastShare = -1;
  QuietSink quiet;
  for (;;) {
    if (sink.StopRequested()) {
      summary.stopped = true;
      finish();
      return summary;
    }
    try {
      if (!reader->Next(record)) break;
    } catch (const RuntimeError& e) {
      if (finish()) fail(e.what());
      return summary;
    }
    ++summary.records;
    ImportRecord r;
    r.number = record.number;
    if (std::string problem = SdRecordProblem(record); !problem.empty()) {
      r.outcome = ImportOutcome::kNotV2000;
      r.message = std::move(problem);
      decide(std::move(r));
    } else if (RecordFileName name = RecordFileNameFor(RecordName(record, nameField, sdPath));
               !name.ok()) {
      r.message = SdRecordPrefix(r.number) + name.refusal;
      decide(std::move(r));
    } else {
      // The name rule of batch registration, on the file name as it is written.
      r.fileName = std::move(name.fileName);
      const EntryNameLine entry = EntryNameLineFor(r.fileName);
      const std::string* registered =
          entry.verdict == EntryName::kOk ? store.Registered(ListedName(entry.nameLine)) : nullptr;
      const bool given =
          entry.verdict == EntryName::kOk && groupNames.count(ListedName(entry.nameLine)) > 0;
      if (entry.verdict != EntryName::kOk) {
        r.message = SdRecordPrefix(r.number) + entry.refusal;
        decide(std::move(r));
      } else if (registered != nullptr || given) {
        // The name is taken: by this very structure, or by another one.
        const std::string line = registered ? *registered : entry.nameLine;
        const chem::Identity* known =
            options.registered ? catalog.IdentityOfName(std::string(CompoundName(line))) : nullptr;
        const bool same =
            options.registered == nullptr ||
            (known != nullptr &&
             (*known)[chem::IdentityLevel::kExact] ==
                 chem::StructureIdentity(record.molblock)[chem::IdentityLevel::kExact]);
        if (same) {
          r.outcome = ImportOutcome::kAlreadyRegistered;
          r.message = SdRecordPrefix(r.number) + AnsiToUtf8(line) + kAlreadyRegistered;
        } else {
          r.message = SdRecordPrefix(r.number) + NameOfOtherStructureMessage(AnsiToUtf8(line));
        }
        decide(std::move(r));
      } else {
        PreparedStructure prepared;
        try {
          prepared = PrepareMolText(mol, record.molblock, quiet);
        } catch (const RuntimeError& e) {
          prepared.reason = e.what();
        }
        SoundEntry sound;
        if (prepared && prepared.queryFeature.empty()) {
          sound = PerceiveEntryText(std::string(CompoundName(entry.nameLine)), MolStamp{},
                                    prepared.molText);
        }
        const chem::Identity& id = sound.perceived.identity;
        const std::string sameAs = options.registered != nullptr && id.known()
                                       ? MatchNames(catalog.Find(id), /*exact=*/true)
                                       : std::string();
        if (!prepared || !prepared.queryFeature.empty()) {
          r.message = RefusalMessage(r.number, r.fileName,
                                     prepared ? prepared.queryFeature : prepared.reason);
          decide(std::move(r));
        } else if (!sameAs.empty() && options.skipSameStructure) {
          r.outcome = ImportOutcome::kSameStructure;
          r.message = SdRecordPrefix(r.number) + SameStructureAsMessage(sameAs);
          r.sameAs = sameAs;
          decide(std::move(r));
        } else {
          const std::string molPath = MolFilePathFor(molFolder, entry.nameLine);
          NewFile placed;
          try {
            // The MOL text as read (a V3000 record is kept as V2000), and
            // the record's data items after it.
            placed = files.Stage(molPath, MolFileWithData(prepared.molText, record));
          } catch (const RuntimeError& e) {
            if (finish()) fail(e.what());
            return summary;
          }
          if (placed == NewFile::kOtherContent) {
            r.message = SdRecordPrefix(r.number) + MolFileClashMessage(molPath);
            decide(std::move(r));
          } else {
            groupNames.insert(ListedName(entry.nameLine));
            if (options.registered != nullptr) {
              catalog.Add(std::string(CompoundName(entry.nameLine)), id);
            }
            group.push_back({r.number, std::move(r.fileName), entry.nameLine, std::move(prepared),
                             std::move(sound), molPath, placed == NewFile::kCreated, sameAs,
                             std::nullopt});
            if (group.size() >= kImportGroup && !writeGroup()) return summary;
          }
        }
      }
    }
    const uint64_t size = reader->Size();
    const int share =
        size == 0 ? 0
                  : static_cast<int>(std::min<uint64_t>(1000, reader->BytesRead() * 1000 / size));
    if (share != lastShare) {
      lastShare = share;
      sink.Progress(share, 1000);
    }
  }
  if (!finish()) return summary;
  store.Finish();
  if (lastShare != 1000) sink.Progress(1000, 1000);
  summary.finished = true;
  sink.ShowMessage(ImportFinishedMessage(summary));
  return summary;
}

std::string ImportFinishedMessage(const ImportSummary& s) {
  std::string text = s.stopped ? kImportStopped : kImportFinished;
  const int64_t notRegistered = s.alreadyRegistered + s.refused + s.notV2000;
  if (notRegistered == 0 && s.sameStructure == 0 && !s.stopped) return text;
  text += "\n\n" + ImportCountsMessage(s.registered, s.alreadyRegistered, s.refused, s.notV2000);
  if (s.sameStructure > 0) {
    text += "、" + SameStructureCountMessage(s.sameStructure, s.skippedSameStructure);
  }
  for (size_t i = 0; i < s.listed.size() && i < kImportListed; ++i) text += "\n" + s.listed[i];
  if (notRegistered > static_cast<int64_t>(kImportListed)) {
    text += "\n" + MoreEntriesMessage(static_cast<size_t>(notRegistered) - kImportListed);
  }
  if (!s.listedSame.empty()) text += std::string("\n\n") + kSameStructureHeading;
  for (size_t i = 0; i < s.listedSame.size() && i < kImportListed; ++i) {
    text += "\n" + s.listedSame[i];
  }
  if (s.sameStructure > static_cast<int64_t>(kImportListed)) {
    text += "\n" + MoreEntriesMessage(static_cast<size_t>(s.sameStructure) - kImportListed);
  }
  return text;
}

}  // namespace vuduzez
