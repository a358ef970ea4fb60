// Deleting a compound: the registration window's "削　除" and
// `vuduzez-cli delete`.
#pragma once

#include <string>

#include "platform/message_sink.h"

namespace vuduzez {

// Deletes every record whose name line is nameLine (CP932) and shows
// "<name line>を削除しました". Returns the number of records removed. Throws
// RuntimeError on a file error; the database file is then unchanged.
int DeleteCompound(const std::string& dbPath, const std::string& nameLine,
                   const std::string& scratchFolder, MessageSink& sink);

}  // namespace vuduzez
