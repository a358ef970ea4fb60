#include "register/delete.h"

#include "database/appender.h"
#include "database/database.h"
#include "database/mol_files.h"
#include "database/sound_index.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "register/store.h"

namespace vuduzez {

int DeleteCompound(const std::string& dbPath, const std::string& molFolder,
                   const std::string& nameLine, MessageSink& sink) {
  const int removed = DeleteRecords(dbPath, nameLine);
  RealignSoundIndex(dbPath);  // the exact search's index follows the records
  if (removed == 0) {
    sink.ShowError(NotInDatabaseMessage(AnsiToUtf8(nameLine)));
    return removed;
  }
  std::string text = AnsiToUtf8(nameLine) + kDeleted;
  const std::string name(CompoundName(nameLine));
  const std::string path = molFolder.empty() ? std::string() : HitMolPath(molFolder, name);
  if (!path.empty() && IsRegularFile(path)) {
    // A record left with the same compound name is drawn from that file still.
    bool named = false;
    ForEachNameLine(dbPath,
                    [&](std::string_view line) { named = named || CompoundName(line) == name; });
    if (!named) text += "\n" + MovedToTrashMessage(MoveToTrash(molFolder, path));
  }
  sink.ShowMessage(text);
  return removed;
}

RestoreStatus RestoreCompound(const std::string& dbPath, const std::string& molFolder,
                              const std::string& nameLine, Molecule& mol, MessageSink& sink) {
  const std::string shown = AnsiToUtf8(nameLine);
  RecordAppender appender(dbPath, molFolder);
  const std::string listed = ListedName(nameLine);
  appender.Watch({listed});
  appender.Load();
  if (const std::string* line = appender.Registered(listed)) {
    sink.ShowError(AnsiToUtf8(*line) + kAlreadyRegistered);
    return RestoreStatus::kRegistered;
  }
  const RestoredFile file = RestoreFromTrash(molFolder, std::string(CompoundName(nameLine)));
  if (file.status == TrashRestore::kNotInTrash) {
    sink.ShowError(NotInTrashMessage(shown));
    return RestoreStatus::kNotInTrash;
  }
  if (file.status == TrashRestore::kOtherContent) {
    sink.ShowError(MolFileClashMessage(file.path));
    return RestoreStatus::kMolFileClash;
  }
  SilentSink quiet;
  const MolStamp stamp = MolStampOf(file.path);
  PreparedStructure prepared = PrepareMolFile(mol, file.path, quiet);
  if (!prepared || !prepared.queryFeature.empty()) {
    sink.ShowError(shown + ": " + (prepared ? prepared.queryFeature : prepared.reason));
    return RestoreStatus::kRefused;
  }
  AppendItem item{{nameLine, prepared.weight, prepared.formula, prepared.key},
                  PerceiveEntryText(std::string(CompoundName(nameLine)), stamp, prepared.molText)};
  if (std::optional<std::string> already = appender.AppendIfNew(std::move(item))) {
    // Another program registered the name meanwhile.
    sink.ShowError(AnsiToUtf8(*already) + kAlreadyRegistered);
    return RestoreStatus::kRegistered;
  }
  appender.Finish();
  sink.ShowMessage(shown + kRestored);
  return RestoreStatus::kRestored;
}

}  // namespace vuduzez
