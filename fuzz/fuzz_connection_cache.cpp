// Fuzz target: the bytes of a connection table cache (a file anyone could
// damage). Whatever parses is matched against itself: a table always maps
// into itself, and serializing the entries gives the same bytes back.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "database/connection_cache.h"
#include "search/substructure.h"

using namespace vuduzez;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CtView view;
  if (view.Parse(bytes)) {
    // Only tables whose adjacency lists every bond at both ends come from the
    // builder; others still must not be read out of bounds.
    const SubstructureQuery query{std::string(bytes)};
    SubstructureMapping m;
    (void)query.Matches(view, &m);
  }
  const auto entries = ParseConnectionEntries(bytes);
  if (entries && SerializeConnectionEntries(*entries) != bytes) std::abort();
  return 0;
}
