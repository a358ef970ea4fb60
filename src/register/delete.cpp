#include "register/delete.h"

#include "database/database.h"
#include "platform/encoding.h"
#include "platform/messages.h"
#include "search/sound_search.h"

namespace vuduzez {

int DeleteCompound(const std::string& dbPath, const std::string& nameLine, MessageSink& sink) {
  const int removed = DeleteRecords(dbPath, nameLine);
  RealignSoundIndex(dbPath);  // the exact search's index follows the records
  if (removed == 0) {
    sink.ShowError(NotInDatabaseMessage(AnsiToUtf8(nameLine)));
  } else {
    sink.ShowMessage(AnsiToUtf8(nameLine) + kDeleted);
  }
  return removed;
}

}  // namespace vuduzez
