#include "search/similar_search.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <thread>

#include "platform/errors.h"
#include "platform/messages.h"
#include "search/search.h"

namespace vuduzez {

namespace {

constexpr int kBins = chem::kSimilarityBits + 1;
// Below this many records to compare, one thread does it all.
constexpr size_t kSlotsPerThread = 32768;
// Top k: a bin is taken in pieces of this many slots, most promising first.
constexpr size_t kPieceSlots = 8192;

// The query as a byte per bit: one load per record bit.
struct QueryTable {
  uint8_t bit[chem::kSimilarityBits] = {};
  int bits = 0;
  explicit QueryTable(const chem::SimilarityPrint& q) {
    for (uint16_t b : q) {
      if (b < chem::kSimilarityBits && !bit[b]) {
        bit[b] = 1;
        ++bits;
      }
    }
  }
  // The bits the query shares with one record's b bits at p.
  int Common(const char* p, int b) const {
    int c0 = 0, c1 = 0;
    int i = 0;
    for (; i + 2 <= b; i += 2) {
      uint32_t two;
      std::memcpy(&two, p + 2 * i, 4);
      c0 += bit[two & (chem::kSimilarityBits - 1)];
      c1 += bit[(two >> 16) & (chem::kSimilarityBits - 1)];
    }
    if (i < b) {
      uint16_t one;
      std::memcpy(&one, p + 2 * i, 2);
      c0 += bit[one & (chem::kSimilarityBits - 1)];
    }
    return c0 + c1;
  }
};

// The fewest common bits with which a record of b bits reaches floor
// against a query of a bits; -1 when none does (the popcount bound).
int MinCommon(int a, int b, double floor) {
  if (chem::TanimotoBound(a, b) < floor) return -1;
  const int most = std::min(a, b);
  // From a little below the exact real answer, up to the first that reaches
  // it by the score's own division.
  int c = static_cast<int>(floor * (a + b) / (1 + floor)) - 2;
  c = std::clamp(c, 0, most);
  while (c > 0 && chem::Tanimoto(c - 1, a, b) >= floor) --c;
  while (c < most && chem::Tanimoto(c, a, b) < floor) ++c;
  return c;
}

bool Better(const SimilarHit& x, const SimilarHit& y) {
  return x.score != y.score ? x.score > y.score : x.row < y.row;
}

// Threads asked for are started (one a slot at most); else as many as pay off.
size_t Threads(size_t asked, size_t slots) {
  if (asked > 0) return std::max<size_t>(1, std::min(asked, slots));
  return std::max<size_t>(1, std::min(SoundThreads(), slots / kSlotsPerThread));
}

// Runs work(part) for parts 0..n-1, part 0 on this thread.
template <typename Work>
void OnThreads(size_t n, Work work) {
  std::vector<std::thread> workers;
  for (size_t p = 1; p < n; ++p) workers.emplace_back(work, p);
  work(0);
  for (std::thread& w : workers) w.join();
}

// Every hit at or above threshold, in no order.
std::vector<SimilarHit> AllAbove(const SimilarIndex& ix, const QueryTable& q, double threshold,
                                 size_t threads, int64_t& compared) {
  int need[kBins];
  size_t first = SIZE_MAX, last = 0;  // the slots of the bins that can reach it
  for (int b = 0; b < kBins; ++b) {
    need[b] = MinCommon(q.bits, b, threshold);
    if (need[b] < 0 || ix.BinBegin(b) == ix.BinBegin(b + 1)) continue;
    first = std::min(first, ix.BinBegin(b));
    last = std::max(last, ix.BinBegin(b + 1));
  }
  if (first == SIZE_MAX) return {};
  const size_t parts = Threads(threads, last - first);
  std::vector<std::vector<SimilarHit>> found(parts);
  std::vector<int64_t> counted(parts, 0);
  OnThreads(parts, [&](size_t p) {
    const size_t from = first + (last - first) * p / parts;
    const size_t to = first + (last - first) * (p + 1) / parts;
    for (int b = 0; b < kBins; ++b) {
      const size_t begin = std::max(from, ix.BinBegin(b)), end = std::min(to, ix.BinBegin(b + 1));
      if (begin >= end || need[b] < 0) continue;
      const char* bits = ix.BinBits(b) + 2 * (begin - ix.BinBegin(b)) * static_cast<size_t>(b);
      counted[p] += static_cast<int64_t>(end - begin);
      for (size_t s = begin; s < end; ++s, bits += 2 * b) {
        const int c = q.Common(bits, b);
        if (c >= need[b]) {
          found[p].push_back({static_cast<int32_t>(ix.RecordAt(s)), chem::Tanimoto(c, q.bits, b)});
        }
      }
    }
  });
  std::vector<SimilarHit> hits;
  for (size_t p = 0; p < parts; ++p) {
    compared += counted[p];
    hits.insert(hits.end(), found[p].begin(), found[p].end());
  }
  return hits;
}

// The top k at or above threshold: the bins' pieces in the order of the best
// score they could hold, each thread keeping its own k best; the k-th best of
// any thread is a floor no later piece below it can reach.
std::vector<SimilarHit> TopAbove(const SimilarIndex& ix, const QueryTable& q, double threshold,
                                 size_t k, size_t threads, int64_t& compared) {
  struct Piece {
    double bound;
    int bin;
    size_t begin, end;
  };
  std::vector<Piece> pieces;
  size_t slots = 0;
  for (int b = 0; b < kBins; ++b) {
    const double bound = chem::TanimotoBound(q.bits, b);
    if (bound < threshold) continue;
    for (size_t s = ix.BinBegin(b); s < ix.BinBegin(b + 1); s += kPieceSlots) {
      pieces.push_back({bound, b, s, std::min(s + kPieceSlots, ix.BinBegin(b + 1))});
    }
    slots += ix.BinBegin(b + 1) - ix.BinBegin(b);
  }
  std::stable_sort(pieces.begin(), pieces.end(),
                   [](const Piece& x, const Piece& y) { return x.bound > y.bound; });
  const size_t parts = Threads(threads, slots);
  std::atomic<size_t> next{0};
  std::atomic<double> shared{threshold};
  std::vector<std::vector<SimilarHit>> heaps(parts);
  std::vector<int64_t> counted(parts, 0);
  OnThreads(parts, [&](size_t p) {
    std::vector<SimilarHit>& heap = heaps[p];  // the worst of the k best on top
    heap.reserve(k + 1);
    const auto worse = [](const SimilarHit& x, const SimilarHit& y) { return Better(x, y); };
    for (size_t i = next++; i < pieces.size(); i = next++) {
      const Piece& piece = pieces[i];
      double floor = std::max(shared.load(std::memory_order_relaxed), threshold);
      if (piece.bound < floor) break;  // and every piece after it
      const int b = piece.bin;
      int need = MinCommon(q.bits, b, floor);
      const char* bits =
          ix.BinBits(b) + 2 * (piece.begin - ix.BinBegin(b)) * static_cast<size_t>(b);
      counted[p] += static_cast<int64_t>(piece.end - piece.begin);
      for (size_t s = piece.begin; s < piece.end && need >= 0; ++s, bits += 2 * b) {
        const int c = q.Common(bits, b);
        if (c < need) continue;
        const SimilarHit hit{static_cast<int32_t>(ix.RecordAt(s)), chem::Tanimoto(c, q.bits, b)};
        if (heap.size() == k && !Better(hit, heap.front())) continue;
        heap.push_back(hit);
        std::push_heap(heap.begin(), heap.end(), worse);
        if (heap.size() > k) {
          std::pop_heap(heap.begin(), heap.end(), worse);
          heap.pop_back();
        }
        if (heap.size() == k && heap.front().score > floor) {
          // The k-th best rose: so does the floor, here and for every thread.
          floor = heap.front().score;
          double seen = shared.load(std::memory_order_relaxed);
          while (seen < floor && !shared.compare_exchange_weak(seen, floor)) {
          }
          need = MinCommon(q.bits, b, floor);
        }
      }
    }
  });
  std::vector<SimilarHit> hits;
  for (size_t p = 0; p < parts; ++p) {
    compared += counted[p];
    hits.insert(hits.end(), heaps[p].begin(), heaps[p].end());
  }
  return hits;
}

void Rank(std::vector<SimilarHit>& hits, size_t top) {
  if (top > 0 && hits.size() > top) {
    std::partial_sort(hits.begin(), hits.begin() + static_cast<long>(top), hits.end(), Better);
    hits.resize(top);
  } else {
    std::sort(hits.begin(), hits.end(), Better);
  }
}

}  // namespace

std::vector<SimilarHit> RankSimilar(const SimilarIndex& index, const chem::SimilarityPrint& query,
                                    double threshold, size_t top, size_t threads,
                                    int64_t* compared) {
  const QueryTable q(query);
  int64_t counted = 0;
  std::vector<SimilarHit> hits = top == 0 ? AllAbove(index, q, threshold, threads, counted)
                                          : TopAbove(index, q, threshold, top, threads, counted);
  Rank(hits, top);
  if (compared) *compared = counted;
  return hits;
}

bool SimilarIndexIsCurrent(const SimilarState& state, const std::string& dbPath,
                           const std::string& molFolder) {
  return state.ready() && state.stable && state.dbPath == dbPath && state.molFolder == molFolder &&
         StampOf(dbPath) == state.stamp;
}

namespace {

void UseIndex(SimilarState& state, SimilarIndex index, const std::string& dbPath,
              const std::string& molFolder, const FileStamp& stamp, bool stable) {
  state.dbPath = dbPath;
  state.molFolder = molFolder;
  state.stamp = stamp;
  state.stable = stable;
  state.verified.assign(index.size(), 0);
  state.changed.clear();
  state.index = std::move(index);
}

}  // namespace

bool PrepareSimilarIndex(SimilarState& state, SoundState& sound, const std::string& dbPath,
                         const std::string& molFolder, MessageSink& sink) {
  const FileStamp now = StampOf(dbPath);
  if (now.size < 0) ThrowFileError(dbPath, kFileNotFound);
  std::optional<MappedSimilarIndex> mapped = MapSimilarIndex(dbPath);
  if (mapped && mapped->stamp == now && mapped->index.molFolder() == CanonicalFolder(molFolder)) {
    state.built.reset();
    UseIndex(state, std::move(mapped->index), dbPath, molFolder, now, true);
    return true;
  }
  mapped.reset();
  // Sorted again from the sound index, which keeps the prints per record.
  if (!SoundIndexIsCurrent(sound, dbPath, molFolder) &&
      !PrepareSoundIndex(sound, dbPath, molFolder, sink)) {
    return false;
  }
  const SimilarPayload payload(*sound.index);
  if (sound.stable && StampOf(dbPath) == sound.stamp &&
      WriteSimilarIndex(dbPath, sound.stamp, payload)) {
    std::optional<MappedSimilarIndex> written = MapSimilarIndex(dbPath);
    if (written && written->stamp == sound.stamp && written->index.size() == sound.index->size()) {
      state.built.reset();
      UseIndex(state, std::move(written->index), dbPath, molFolder, sound.stamp, true);
      return true;
    }
  }
  auto built = std::make_shared<const std::string>(payload.Join());
  std::optional<SimilarIndex> index = SimilarIndex::Open(built, *built);
  if (!index) ThrowFileError(dbPath, kCannotReadFile);  // never for a payload just made
  state.built = built;
  UseIndex(state, std::move(*index), dbPath, molFolder, sound.stamp, sound.stable);
  return true;
}

SimilarResult SimilarSearch(SimilarState& state, const chem::SimilarityPrint& query,
                            const SimilarOptions& options) {
  SimilarResult result;
  if (!state.ready()) return result;
  const SimilarIndex& ix = *state.index;
  result.unprinted = static_cast<int64_t>(ix.size() - ix.printed());
  for (;;) {
    // Records read again are scored apart: the index's k + m best hold the
    // k best of the others whatever the m changed ones scored there.
    const size_t top = options.top == 0 ? 0 : options.top + state.changed.size();
    result.hits = RankSimilar(ix, query, options.threshold, top, options.threads, &result.compared);
    if (!state.changed.empty()) {
      std::erase_if(result.hits, [&](const SimilarHit& h) {
        return state.changed.count(static_cast<size_t>(h.row)) > 0;
      });
      for (const auto& [r, print] : state.changed) {
        if (!print) continue;
        const double score =
            chem::Tanimoto(chem::CommonBits(query, *print), static_cast<int>(query.size()),
                           static_cast<int>(print->size()));
        if (score >= options.threshold) result.hits.push_back({static_cast<int32_t>(r), score});
      }
      Rank(result.hits, options.top);
    }
    // Each hit's MOL file as it was read, else read again and ranked anew.
    bool again = false;
    for (const SimilarHit& h : result.hits) {
      const auto r = static_cast<size_t>(h.row);
      if (state.verified[r]) continue;
      state.verified[r] = 1;
      const std::string name(ix.Name(r));
      const std::string path = HitMolPath(state.molFolder, name);
      if (MolStampOf(path) == ix.Stamp(r)) continue;
      const SoundEntry e = PerceiveEntry(name, path);
      state.changed[r] = chem::HasSimilarityPrint(e.perceived.status)
                             ? std::optional(e.perceived.similarity)
                             : std::nullopt;
      again = true;
    }
    if (!again) break;
  }
  return result;
}

std::string ScoreText(double score) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, score, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}

}  // namespace vuduzez
