#include "register/delete.h"

#include "database/connection_cache.h"
#include "database/database.h"
#include "platform/encoding.h"
#include "platform/messages.h"

namespace vuduzez {

int DeleteCompound(const std::string& dbPath, const std::string& nameLine,
                   const std::string& scratchFolder, MessageSink& sink) {
  int removed = DeleteRecords(dbPath, nameLine, scratchFolder);
  RealignConnectionCache(dbPath);  // the exact search's tables follow the records
  sink.ShowMessage(AnsiToUtf8(nameLine) + kDeleted);
  return removed;
}

}  // namespace vuduzez
