// The exact search ("原子単位で照合", `search --exact`): the query as RDKit
// reads it, matched against every record's MOL file as RDKit perceives it,
// through the sound index (sound_index.h): its fingerprints screen, our own
// matcher (sound_matcher.h) or, for what it does not compile, RDKit's
// confirms. A record is a hit exactly when RDKit's SubstructMatch with its
// default parameters (useChirality when asked) finds the query in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chem/sound_query.h"
#include "database/cache_stamp.h"
#include "database/sound_index.h"
#include "model/molecule.h"
#include "platform/match_budget.h"
#include "platform/message_sink.h"

namespace vuduzez {

// The exact search's view of one database: its index, and what was learnt
// since it was loaded (MOL files compared with their entries, entries read
// again because their MOL file changed).
struct SoundState {
  std::string dbPath;
  std::string molFolder;
  FileStamp stamp;  // the database state the index describes
  bool stable = false;
  std::optional<SoundIndex> index;
  std::shared_ptr<const std::string> built;  // the payload, when it could not be mapped
  std::vector<uint8_t> verified;             // MOL file compared since the load, per record
  std::unordered_map<size_t, SoundEntry> changed;
  size_t perceived = 0;  // MOL files the last PrepareSoundIndex read
  bool ready() const { return index.has_value(); }
};

// Makes state the index of the database file as it is now for the MOL
// folder: the cached index when it was made for exactly this state of the
// file, else one made now from the records' MOL files (entries of the
// records the cached index still names reused while their MOL file is
// unchanged), on every core with MessageSink::Progress, and kept in the cache
// when the database did not change meanwhile. False when the sink asked to
// stop (nothing is kept then). Throws RuntimeError when the database file
// cannot be read.
bool PrepareSoundIndex(SoundState& state, const std::string& dbPath, const std::string& molFolder,
                       MessageSink& sink);

// Whether state is the index of the database file as it is now.
bool SoundIndexIsCurrent(const SoundState& state, const std::string& dbPath,
                         const std::string& molFolder);

struct SoundResult {
  int64_t candidates = 0;     // records the screen let through
  std::vector<int32_t> rows;  // hits, in database order
  struct Unconfirmed {
    int32_t row;
    std::string reason;  // UTF-8
  };
  std::vector<Unconfirmed> unconfirmed;  // in database order
  int64_t byRdkit = 0;                   // records RDKit's matcher confirmed
  bool stopped = false;                  // the sink asked to stop: rows holds the hits found
};

// Searches the prepared index for the query: the screen, then every
// candidate's MOL file compared with its entry (read again when it changed,
// the first time after the load), then the matcher, each record within
// `steps` (given up beyond: unconfirmed, "照合を打ち切りました"). threads: 0 for
// SoundThreads(). MessageSink::Progress while it confirms; StopRequested
// (asked between records and inside a long one) ends it early, the rest
// unconfirmed ("照合を中止しました"). Entries read again are written back to
// the cache when the index is still current.
SoundResult SoundSearch(SoundState& state, const chem::SoundQuery& query, MessageSink& sink,
                        size_t threads = 0, uint64_t steps = DefaultMatchSteps());

// The records of a search that failed to be confirmed, one line each:
// "name: reason".
std::vector<std::string> UnconfirmedLines(const SoundState& state, const SoundResult& result);

// The first match of the query in a MOL text, as the MOL file's atom numbers
// (1-based) and the query bonds' atom pairs among them, for the picture of a
// hit; false when there is none.
struct SoundMapping {
  std::vector<int32_t> atoms;
  std::vector<std::pair<int32_t, int32_t>> bonds;
};
bool FindSoundMapping(const chem::SoundQuery& query, std::string_view molText,
                      SoundMapping& mapping);

// The numbers (1-based) of the bonds of mol between those pairs of atoms.
std::vector<int32_t> MolBondNumbers(const Molecule& mol,
                                    const std::vector<std::pair<int32_t, int32_t>>& pairs);

}  // namespace vuduzez
