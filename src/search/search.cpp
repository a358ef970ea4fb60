#include "search/search.h"

#include <algorithm>

#include "platform/encoding.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/scratch.h"
#include "platform/text.h"
#include "search/screen_index.h"

namespace vuduzez {

int32_t SearchStructure(SearchState& state, const Molecule& query, ScreeningStats* stats) {
  return RunScreening(state, MakeQuery(query), stats);
}

void LoadSearchDataStamped(SearchState& state, const std::string& dbPath, bool mapped) {
  // Under the shared lock, as every load: a record being appended by another
  // program is never read half-written.
  FileStamp stamp;
  std::string_view text;
  std::shared_ptr<const void> holder;
  bool stable = false;
  {
    DatabaseLock lock(dbPath, LockMode::kShared);
    stamp = StampOf(dbPath);
    if (mapped) {
      auto map = std::make_shared<const MappedFile>(lock.fd(), dbPath);
      text = map->bytes();
      holder = std::move(map);
    } else {
      auto bytes = std::make_shared<const std::string>(lock.ReadAll());
      text = *bytes;
      holder = std::move(bytes);
    }
    stable = stamp.size == static_cast<int64_t>(text.size()) && StampOf(dbPath) == stamp;
  }
  SearchState loaded;
  ParseSearchRecords(loaded, text, std::move(holder));
  loaded.signatures = ScreenIndexFor(dbPath, stamp, stable, loaded.records);
  state.text = std::move(loaded.text);
  state.records = std::move(loaded.records);
  state.signatures = std::move(loaded.signatures);
  state.mlcount = loaded.mlcount;
  state.path = dbPath;
  // A file that changed while it was read is read again at the next look.
  state.stamp = stable ? stamp : FileStamp{};
}

bool RefreshSearchDataStamped(SearchState& state, const std::string& dbPath) {
  if (SearchDataIsCurrent(state, dbPath)) return false;
  LoadSearchDataStamped(state, dbPath);
  return true;
}

}  // namespace vuduzez
