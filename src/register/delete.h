// Deleting a compound: the registration window's "削　除" and
// `vuduzez-cli delete`.
#pragma once

#include <string>

#include "platform/message_sink.h"

namespace vuduzez {

// Deletes every record whose name line is nameLine (CP932), under the
// database's exclusive lock, and shows "<name line>を削除しました"; when there
// was none, shows the error NotInDatabaseMessage instead. Returns the number
// of records removed. Throws RuntimeError on a file error (busy, read-only
// ...); the database file is then unchanged.
int DeleteCompound(const std::string& dbPath, const std::string& nameLine, MessageSink& sink);

}  // namespace vuduzez
