// The similar-compounds search ("類似構造検索", `search --similar`): RDKit's
// Tanimoto of the query's similarity print (chem/similarity.h) to every
// record's, the hits ranked from most to least similar (equal scores in
// database order), those reaching a threshold, at most `top` of them. The
// prints come from the similarity index (similar_index.h); only the bins that
// can reach the threshold are read (for the top k, a bound that tightens as
// the k-th best rises), on every core.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "chem/similarity.h"
#include "database/cache_stamp.h"
#include "platform/message_sink.h"
#include "search/similar_index.h"
#include "search/sound_search.h"

namespace vuduzez {

inline constexpr double kDefaultSimilarity = 0.7;

struct SimilarHit {
  int32_t row = 0;  // the record, in database order
  double score = 0;
  bool operator==(const SimilarHit&) const = default;
};

// The hits of the index alone that reach threshold, ranked; at most top of
// them (0: all). threads 0: as many as pay off, up to SoundThreads().
// compared (when given) counts the records whose bits were compared with the
// query's (the rest were passed over by the popcount bound).
std::vector<SimilarHit> RankSimilar(const SimilarIndex& index, const chem::SimilarityPrint& query,
                                    double threshold, size_t top, size_t threads = 0,
                                    int64_t* compared = nullptr);

// The search's view of one database: its similarity index, and the records
// whose MOL file changed since it was made (read again; nullopt: no print now).
struct SimilarState {
  std::string dbPath;
  std::string molFolder;
  FileStamp stamp;  // the database state the index describes
  bool stable = false;
  std::optional<SimilarIndex> index;
  std::shared_ptr<const std::string> built;  // the payload, when it is not in the cache
  std::vector<uint8_t> verified;             // hit's MOL file compared since the load
  std::unordered_map<size_t, std::optional<chem::SimilarityPrint>> changed;
  bool ready() const { return index.has_value(); }
};

// Whether state is the similarity index of the database file as it is now.
bool SimilarIndexIsCurrent(const SimilarState& state, const std::string& dbPath,
                           const std::string& molFolder);

// Makes state the similarity index of the database file as it is now for
// the MOL folder: the cached one when it was made for exactly this state of
// the file; else one sorted from the sound index (sound, prepared first when
// it is not current: PrepareSoundIndex, with its progress), kept in the cache
// when the database did not change meanwhile. False when the sink asked to
// stop. Throws RuntimeError when the database file cannot be read.
bool PrepareSimilarIndex(SimilarState& state, SoundState& sound, const std::string& dbPath,
                         const std::string& molFolder, MessageSink& sink);

struct SimilarOptions {
  double threshold = kDefaultSimilarity;
  size_t top = 0;  // 0: every hit that reaches the threshold
  size_t threads = 0;
};

struct SimilarResult {
  std::vector<SimilarHit> hits;  // ranked
  int64_t compared = 0;          // records whose bits were compared
  int64_t unprinted = 0;         // records without a print (RDKit does not read them)
};

// Searches the prepared index. Each hit's MOL file is compared with the
// state it was read in, the first time after the load; a changed one is read
// again and scored as it is now (and the ranking made again).
SimilarResult SimilarSearch(SimilarState& state, const chem::SimilarityPrint& query,
                            const SimilarOptions& options = {});

// A score as text: the shortest that reads back as the same double (Python's
// repr of RDKit's score).
std::string ScoreText(double score);

}  // namespace vuduzez
