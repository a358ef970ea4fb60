// A record's MOL text as the exact search sees it: read by RDKit as it reads
// a MOL file by default (sanitized, hydrogens it can do without removed), so
// that aromaticity, charges, isotopes, hydrogen counts and rings do not
// depend on the Kekulé form drawn; packed as a graph (sound_graph.h) with its
// screen fingerprint (sound_fingerprint.h). Plain types: RDKit stays inside.
//
// One RDKit reading per record gives every product the caches keep of it:
// the graph, the screen fingerprint and the structure identity layers. To
// add one (a similarity fingerprint), add its
// field to PerceivedRecord, fill it in PerceiveRecord from the same molecule,
// and give it its own section of the index or a sibling cache file under the
// same rules (database/sound_index.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chem/identity.h"
#include "chem/similarity.h"
#include "chem/sound_fingerprint.h"
#include "chem/sound_graph.h"

namespace vuduzez::chem {

enum class RecordStatus : uint8_t {
  kOk = 0,       // graph and fingerprint
  kMissing,      // no MOL file (set by the index, not here)
  kRefused,      // RDKit does not read it; reason says why
  kLarge,        // more atoms than a graph holds: RDKit matches it from its MOL file
  kUnperceived,  // not read yet (a record appended without its structure)
};

struct PerceivedRecord {
  RecordStatus status = RecordStatus::kRefused;
  std::string reason;          // RDKit's words (English), for kRefused
  std::string graph;           // kOk
  Fingerprint fingerprint{};   // kOk; every bit for kLarge (never screened out)
  SimilarityPrint similarity;  // kOk and kLarge: the Morgan print (chem/similarity.h)
  Identity identity;           // kOk and kLarge (chem/identity.h)
};

// Whether a record of this status has a similarity print.
inline bool HasSimilarityPrint(RecordStatus status) {
  return status == RecordStatus::kOk || status == RecordStatus::kLarge;
}

PerceivedRecord PerceiveRecord(std::string_view molText);

// For each atom of the perceived molecule, its number in the MOL file
// (1-based): the hydrogens RDKit removed are skipped. Empty when RDKit does
// not read the text.
std::vector<int> MolAtomNumbers(std::string_view molText);

}  // namespace vuduzez::chem
