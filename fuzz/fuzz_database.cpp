// Fuzz target: database text, settings text and the chain rewrite. A database
// that loads is searched with pieces of its own keys, and the hit list must be
// the same with and without the fragment prefilter.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "database/chains.h"
#include "database/database.h"
#include "database/settings.h"
#include "platform/errors.h"
#include "search/screening.h"

using namespace vuduzez;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  Settings settings;
  ParseSettings(settings, text);
  (void)ParseRecords(text);

  const std::string once = AbbreviateChains(std::string(text.substr(0, 4096)));
  if (AbbreviateChains(once) != once) std::abort();

  SearchState state;
  try {
    LoadSearchText(state, text);
  } catch (const RuntimeError&) {
    if (state.mlcount != 0) std::abort();  // a failed load keeps what was there
    return 0;
  }
  if (state.records.empty()) return 0;
  const std::string_view key = state.records[size % state.records.size()].key;
  Query query;
  query.codes = SplitPathCodes(key.substr(key.size() / 3, 1 + size % 17));
  query.ocount = static_cast<int32_t>(size % 3);
  RunScreening(state, query);
  std::vector<std::string> expected;
  const auto verdicts = ExplainScreening(state, query);
  for (size_t r = 0; r < verdicts.size(); ++r) {
    if (verdicts[r].result == ScreenResult::kHit) expected.emplace_back(state.records[r].name);
  }
  if (expected != state.hitnames) std::abort();
  return 0;
}
