// The atom-by-atom confirmation of screened hits: the connection tables of the
// loaded records (from the cache, or read from their MOL files), and the exact
// hits among the screened ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/connection_cache.h"
#include "model/molecule.h"
#include "platform/match_budget.h"
#include "platform/message_sink.h"
#include "platform/messages.h"
#include "search/screening.h"
#include "search/substructure.h"

namespace vuduzez {

// The connection tables that go with the records of a SearchState.
struct ExactState {
  std::string dbPath;
  FileStamp stamp;                // the database state the records were loaded from
  bool stable = false;            // false when the file changed while it was read
  bool ready = false;             // entries line up with the loaded records
  std::vector<CtEntry> entries;   // one per record once ready
  std::vector<uint8_t> verified;  // MOL file compared with its entry since the load
  bool dirty = false;             // entries changed since the cache was read or written
};

// Reads the database file into state (as LoadSearchData) and remembers which
// state of the file that was; the connection tables are prepared later. The
// signatures come from the screen index (search/screen_index.h). mapped: the
// file is mapped rather than copied (for a command that ends soon after).
void LoadSearchDataStamped(SearchState& state, ExactState& exact, const std::string& dbPath,
                           bool mapped = false);

// The same unless the records are the file's as it is now
// (SearchDataIsCurrent). Returns whether it loaded.
bool RefreshSearchDataStamped(SearchState& state, ExactState& exact, const std::string& dbPath);

// One record's entry, read, completed and keyed from its MOL file.
CtEntry BuildConnectionEntry(const std::string& name, const std::string& molPath);

// Lines the connection tables up with the loaded records: the cache file's
// entries where they belong to the same names, the rest read from their MOL
// files (MessageSink::Progress after each; once MessageSink::StopRequested,
// the rest is left to be read when a search needs it). The cache file is
// written again when it changed and the database is still the state that was
// loaded. Without a cache folder it works the same, keeping nothing.
void PrepareConnectionTables(const SearchState& state, ExactState& exact,
                             const std::string& molFolder, MessageSink& sink);

// Whether the connection tables line up with the loaded records (else
// ConfirmHits prepares them first).
bool ConnectionTablesReady(const SearchState& state, const ExactState& exact);

// Outcome of one search with confirmation.
struct ExactResult {
  int32_t screened = 0;       // hits of the key screen
  std::vector<int32_t> rows;  // exact hits: record rows, in screen order
  struct Unconfirmed {
    int32_t row;
    std::string reason;  // UTF-8
  };
  // Screened rows neither confirmed nor refuted: no usable MOL file, the
  // match given up (kMatchGivenUp), or not reached before a stop
  // (kMatchStopped); in screen order.
  std::vector<Unconfirmed> unconfirmed;
  std::vector<int32_t> unmatched;  // screened rows without a mapping
  int32_t gaveUp = 0;              // of the unconfirmed: matches given up
  bool stopped = false;            // the confirmation was stopped
};

// How a confirmation is watched and bounded. progress gets Progress(done,
// screened) after each screened record, and StopRequested is asked between
// records and every MatchBudget::kStopEvery steps of one (a stop leaves the
// rest unconfirmed). Each record may take stepsPerRecord steps.
struct ConfirmControl {
  MessageSink* progress = nullptr;
  uint64_t stepsPerRecord = DefaultMatchSteps();
};

// The screened hits of state (RunScreening has run) confirmed atom by atom:
// state's hit list becomes the exact hits. Each entry's MOL file is compared
// with what the table was made from the first time it is needed after a load,
// and read again when it changed. Prepares the tables first when needed
// (sink: their progress and stop, as PrepareConnectionTables).
ExactResult ConfirmHits(SearchState& state, ExactState& exact, const SubstructureQuery& query,
                        const std::string& molFolder, MessageSink& sink,
                        const ConfirmControl& control = {});

// Why each record is not an exact hit, by row: "no atom-by-atom match" for a
// screened record without a mapping, "unconfirmed: <reason>", else empty.
std::vector<std::string> ExplainConfirmation(const ExactResult& result, size_t records);

// The query of a keyed molecule (after MakeStructureKey).
SubstructureQuery MakeSubstructureQuery(const Molecule& query);

// The first mapping of the query into a hit read and completed from its MOL
// file (ReadMolFile, CalcFormulaWeight), for its picture: the hit is keyed on
// a copy, so that the molecule to draw keeps its bonds as drawn.
bool FindMapping(const Molecule& hit, const SubstructureQuery& query, SubstructureMapping& mapping);

}  // namespace vuduzez
