// The sound index's payload reader on arbitrary bytes: it must refuse what
// is not a whole index, never read outside the bytes, and whatever it accepts
// must be usable (names, stamps, graphs, the screen).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chem/sound_graph.h"
#include "search/sound_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
  const auto index = vuduzez::SoundIndex::Open(bytes, *bytes);
  if (!index) return 0;
  std::vector<uint32_t> hits;
  index->Screen(vuduzez::chem::Fingerprint{}, 0, index->size(), hits);
  for (size_t r = 0; r < index->size() && r < 64; ++r) {
    (void)index->Name(r);
    (void)index->Stamp(r);
    vuduzez::chem::GraphView g;
    (void)g.Parse(index->Graph(r));
  }
  return 0;
}
