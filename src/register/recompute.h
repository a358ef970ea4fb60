// Bringing an existing database up to the reader's present rules: the weight
// and formula lines of every record made again from its MOL file (and, when
// asked, its key line), the names and everything else as they stand.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_sink.h"

namespace vuduzez {

// A record whose lines changed (texts as stored, CP932).
struct RecomputedRecord {
  std::string nameLine;
  std::string oldWeight, newWeight;
  std::string oldFormula, newFormula;
  bool keyChanged = false;
};

// A record left as it stood, and why (UTF-8).
struct KeptRecord {
  std::string nameLine;
  std::string reason;
};

struct RecomputeSummary {
  int64_t records = 0;
  std::vector<RecomputedRecord> changed;
  std::vector<KeptRecord> missing;  // no MOL file in the MOL folder
  std::vector<KeptRecord> refused;  // the reader refuses the MOL file now
  std::vector<KeptRecord> keyKept;  // --keys: no key could be made, the old one stays
};

// Rewrites the database under its exclusive lock, through a replacement file
// (RewriteDatabaseFile): for each record the MOL file the search would draw
// it from (HitMolPath of the record's CompoundName in molFolder) is read
// and completed, and the record's weight and formula lines become what they
// are now; with keys its key line too. A record whose MOL file is missing,
// or is refused by the reader (or holds what only a query may), is written
// back as it was, and so is every line that did not change; blank lines stay.
// A MOL file that cannot be read counts as refused. Progress(share, 1000) of
// the file on the way. Throws RuntimeError (the database unchanged) when the
// database cannot be read or replaced.
RecomputeSummary RecomputeRecords(const std::string& dbPath, const std::string& molFolder,
                                  bool keys, MessageSink& sink);

}  // namespace vuduzez
