#include "search/screening.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

#include "database/database.h"
#include "database/mol_files.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "search/screen_index.h"

namespace vuduzez {

namespace {

constexpr size_t kPrefetchAhead = 8;
// Below this many records per core a search stays on the calling thread.
constexpr size_t kRecordsPerThread = 20000;

inline bool Covers(const KeySignature& record, const KeySignature& query) {
  uint64_t missing = 0;
  for (int i = 0; i < KeySignature::kWords; ++i) missing |= query.bits[i] & ~record.bits[i];
  return missing == 0;
}

// How common a byte is in key text (atom symbols, bond characters, ring sizes
// and "/"), from the keys of a few thousand real molecules; lower is rarer.
int Commonness(unsigned char c) {
  switch (c) {
    case 'C':
      return 100;
    case '-':
      return 60;
    case '@':
      return 58;
    case 'N':
      return 14;
    case 'O':
      return 12;
    case '/':
      return 11;
    case '=':
      return 8;
    case '6':
      return 3;
    default:
      return 1;
  }
}

// A path code ready for the substring test: the positions of its two rarest
// bytes, which are compared first, many key positions at a time.
struct PreparedCode {
  std::string_view text;
  size_t a = 0;
  size_t b = 0;
};

PreparedCode Prepare(std::string_view code) {
  PreparedCode p{code, 0, 0};
  const size_t n = code.size();
  if (n < 2) return p;
  for (size_t i = 1; i < n; ++i) {
    if (Commonness(code[i]) < Commonness(code[p.a])) p.a = i;
  }
  p.b = p.a == 0 ? 1 : 0;
  for (size_t i = 0; i < n; ++i) {
    if (i != p.a && Commonness(code[i]) < Commonness(code[p.b])) p.b = i;
  }
  return p;
}

// The scan of the substring test from position i on, one byte at a time.
bool ContainsTail(const char* s, size_t i, size_t last, const PreparedCode& p) {
  const char* c = p.text.data();
  for (; i <= last; ++i) {
    if (s[i + p.a] == c[p.a] && s[i + p.b] == c[p.b] && std::memcmp(s + i, c, p.text.size()) == 0) {
      return true;
    }
  }
  return false;
}

// The substring test of a code of two bytes or more (last: its last start
// position in the key). Loads::kWidth start positions at a time, Loads::Match
// giving a bit for each whose two rarest bytes match; only those are compared
// whole. The rest goes byte by byte.
template <typename Loads>
bool ContainsWide(const char* s, size_t last, const PreparedCode& p) {
  const char* c = p.text.data();
  const Loads loads(c[p.a], c[p.b]);
  size_t i = 0;
  for (; i + Loads::kWidth <= last + 1; i += Loads::kWidth) {
    uint32_t mask = loads.Match(s + i + p.a, s + i + p.b);
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(s + i + bit, c, p.text.size()) == 0) return true;
      mask &= mask - 1;
    }
  }
  return ContainsTail(s, i, last, p);
}

using ContainsKernel = bool (*)(const char* s, size_t last, const PreparedCode& p);

#if defined(__x86_64__) && defined(__GNUC__)
// The wide loads: two runs of key bytes, each compared with one code byte.
class Sse2Loads {
 public:
  static constexpr size_t kWidth = 16;
  Sse2Loads(char cx, char cy) : cx_(_mm_set1_epi8(cx)), cy_(_mm_set1_epi8(cy)) {}
  uint32_t Match(const char* x, const char* y) const {
    const __m128i vx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
    const __m128i vy = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(vx, cx_), _mm_cmpeq_epi8(vy, cy_))));
  }

 private:
  __m128i cx_;
  __m128i cy_;
};

#define VUDUZEZ_AVX2 __attribute__((target("avx2")))
class Avx2Loads {
 public:
  static constexpr size_t kWidth = 32;
  VUDUZEZ_AVX2 Avx2Loads(char cx, char cy) : cx_(_mm256_set1_epi8(cx)), cy_(_mm256_set1_epi8(cy)) {}
  VUDUZEZ_AVX2 uint32_t Match(const char* x, const char* y) const {
    const __m256i vx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x));
    const __m256i vy = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
    return static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(vx, cx_), _mm256_cmpeq_epi8(vy, cy_))));
  }

 private:
  __m256i cx_;
  __m256i cy_;
};

// flatten: the kernel and its loads are compiled into these, each for its
// instruction set.
__attribute__((flatten)) bool ContainsSse2(const char* s, size_t last, const PreparedCode& p) {
  return ContainsWide<Sse2Loads>(s, last, p);
}
VUDUZEZ_AVX2 __attribute__((flatten)) bool ContainsAvx2(const char* s, size_t last,
                                                        const PreparedCode& p) {
  return ContainsWide<Avx2Loads>(s, last, p);
}
#else
bool ContainsBytes(const char* s, size_t last, const PreparedCode& p) {
  return ContainsTail(s, 0, last, p);
}
#endif

// The wide loads are chosen here, once: AVX2 where the processor has it, else
// SSE2 (every x86-64 processor), else byte by byte.
ContainsKernel ChooseKernel() {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();  // this may run before the library's own initialiser
  if (__builtin_cpu_supports("avx2")) return ContainsAvx2;
  return ContainsSse2;
#else
  return ContainsBytes;
#endif
}

const ContainsKernel kContainsKernel = ChooseKernel();

// Whether the code occurs in the key as a contiguous byte sequence; an empty
// code never does.
bool Contains(std::string_view key, const PreparedCode& p) {
  const size_t n = p.text.size();
  if (n == 0 || n > key.size()) return false;
  if (n == 1) return std::memchr(key.data(), p.text[0], key.size()) != nullptr;
  return kContainsKernel(key.data(), key.size() - n, p);
}

inline bool PassesScreens(const mldata& r, const Query& q) {
  return r.weight >= q.weight && r.ccount >= q.ccount && r.ncount >= q.ncount &&
         r.ocount >= q.ocount;
}

// The digits of a text as a number; the usual short run of digits is read in
// place, anything else (blanks, a sign, too many digits, not a number) by
// StrToInt with its message.
int32_t ToInt(std::string_view text) {
  if (!text.empty() && text.size() <= 9) {
    int32_t v = 0;
    bool digits = true;
    for (char c : text) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      v = v * 10 + (c - '0');
    }
    if (digits) return v;
  }
  return StrToInt(std::string(text));
}

int32_t IntegerPart(std::string_view text) { return ToInt(BeforeFirst(text, '.')); }

}  // namespace

int32_t CountElement(std::string_view formula, std::string_view symbol) {
  if (symbol.empty()) return 0;
  size_t at = formula.find(symbol);
  // The C of "Cl" or "Cu", the N of "Na", the O of "Os" belong to other
  // elements: a symbol is followed by a digit, a capital or the end.
  const auto another = [&](size_t p) {
    const size_t next = p + symbol.size();
    return next < formula.size() && formula[next] >= 'a' && formula[next] <= 'z';
  };
  while (at != std::string_view::npos && another(at)) at = formula.find(symbol, at + 1);
  if (at == std::string_view::npos) return 0;
  size_t digits = at + symbol.size();
  size_t end = digits;
  while (end < formula.size() && formula[end] >= '0' && formula[end] <= '9') ++end;
  if (end == digits) return 1;
  return ToInt(formula.substr(digits, end - digits));
}

void ParseSearchRecords(SearchState& state, std::string_view text,
                        std::shared_ptr<const void> holder) {
  std::vector<mldata> records;
  // Room for records of 128 bytes and more without growing: pages never
  // written to take no memory.
  records.reserve(text.size() / 128 + 16);
  RecordReader reader(text);
  RecordLines lines;
  while (reader.Next(lines)) {
    mldata& r = records.emplace_back();
    r.name = CompoundName(lines.name);
    int at = lines.line + 1;  // the line a conversion error names
    try {
      r.weight = IntegerPart(lines.weight);
      ++at;
      r.ccount = CountElement(lines.formula, "C");
      r.ncount = CountElement(lines.formula, "N");
      r.ocount = CountElement(lines.formula, "O");
    } catch (const RuntimeError& e) {
      throw RuntimeError(e.what(), at);
    }
    r.key = lines.key;
  }
  // Only a load that read the whole file replaces what was loaded before.
  state.text = std::move(holder);
  state.records = std::move(records);
  state.signatures.clear();
  state.mlcount = static_cast<int32_t>(state.records.size());
  state.path.clear();  // a text is no file's state
  state.stamp = FileStamp{};
}

namespace {

// What a load read replaces what the state held.
void Adopt(SearchState& state, SearchState& loaded) {
  state.text = std::move(loaded.text);
  state.records = std::move(loaded.records);
  state.signatures = std::move(loaded.signatures);
  state.mlcount = loaded.mlcount;
  state.path.clear();
  state.stamp = FileStamp{};
}

}  // namespace

std::vector<KeySignature> ComputeSignatures(const std::vector<mldata>& records) {
  std::vector<KeySignature> signatures(records.size());
  auto range = [&](size_t from, size_t to) {
    for (size_t r = from; r < to; ++r) AddKeyGrams(signatures[r], records[r].key);
  };
  // Threads pay for themselves only on a large database.
  constexpr size_t kPerThread = 20000;
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads = std::min(cores, records.size() / kPerThread + 1);
  if (threads <= 1) {
    range(0, records.size());
    return signatures;
  }
  std::vector<std::thread> workers;
  const size_t step = (records.size() + threads - 1) / threads;
  for (size_t t = 1; t < threads; ++t) {
    workers.emplace_back(range, std::min(records.size(), t * step),
                         std::min(records.size(), (t + 1) * step));
  }
  range(0, std::min(records.size(), step));
  for (std::thread& w : workers) w.join();
  return signatures;
}

void LoadSearchText(SearchState& state, std::string_view text) {
  auto copy = std::make_shared<const std::string>(text);
  LoadSearchBytes(state, *copy, copy);
}

void LoadSearchData(SearchState& state, const std::string& path) {
  // The shared lock: a record being appended by another program is never
  // read half-written.
  const DatabaseLock lock(path, LockMode::kShared);
  StampedBytes db = ReadStamped(path);
  auto bytes = std::make_shared<const std::string>(std::move(db.bytes));
  SearchState loaded;
  ParseSearchRecords(loaded, *bytes, bytes);
  loaded.signatures = ScreenIndexFor(path, db.stamp, db.stable, loaded.records);
  Adopt(state, loaded);
  state.path = path;
  // A file that changed while it was read is read again at the next look.
  state.stamp = db.stable ? db.stamp : FileStamp{};
}

void LoadSearchBytes(SearchState& state, std::string_view text,
                     std::shared_ptr<const void> holder) {
  SearchState loaded;
  ParseSearchRecords(loaded, text, std::move(holder));
  loaded.signatures = ComputeSignatures(loaded.records);
  Adopt(state, loaded);
}

bool SearchDataIsCurrent(const SearchState& state, const std::string& path) {
  return state.path == path && state.stamp.size >= 0 && StampOf(path) == state.stamp;
}

bool RefreshSearchData(SearchState& state, const std::string& path) {
  if (SearchDataIsCurrent(state, path)) return false;
  LoadSearchData(state, path);
  return true;
}

std::vector<std::string> SplitPathCodes(std::string_view keydata) {
  std::vector<std::string> codes;
  std::string_view s = keydata;
  for (size_t slash = s.find('/'); slash != std::string_view::npos; slash = s.find('/')) {
    codes.emplace_back(s.substr(0, slash));
    s.remove_prefix(slash + 1);
  }
  if (!s.empty()) codes.emplace_back(s);
  return codes;
}

Query MakeQuery(const Molecule& mol) {
  Query q;
  q.weight = IntegerPart(mol.molweight);
  q.ccount = mol.elmcount[kCarbon];
  q.ncount = mol.elmcount[kNitrogen];
  q.ocount = mol.elmcount[kOxygen];
  q.codes = SplitPathCodes(mol.keydata);
  return q;
}

RecordVerdict ScreenRecord(const mldata& record, const Query& query) {
  RecordVerdict v;
  if (record.weight < query.weight) {
    v.result = ScreenResult::kWeight;
  } else if (record.ccount < query.ccount) {
    v.result = ScreenResult::kCarbon;
  } else if (record.ncount < query.ncount) {
    v.result = ScreenResult::kNitrogen;
  } else if (record.ocount < query.ocount) {
    v.result = ScreenResult::kOxygen;
  } else {
    for (size_t i = 0; i < query.codes.size(); ++i) {
      if (!Contains(record.key, Prepare(query.codes[i]))) {
        v.result = ScreenResult::kPathCode;
        v.code = static_cast<int32_t>(i);
        break;
      }
    }
  }
  return v;
}

std::string ExplainVerdict(const mldata& record, const Query& query, const RecordVerdict& verdict) {
  auto less = [](const char* what, int32_t have, int32_t need) {
    return std::string(what) + " " + std::to_string(have) + " < " + std::to_string(need);
  };
  switch (verdict.result) {
    case ScreenResult::kHit:
      return "hit";
    case ScreenResult::kWeight:
      return less("weight", record.weight, query.weight);
    case ScreenResult::kCarbon:
      return less("C", record.ccount, query.ccount);
    case ScreenResult::kNitrogen:
      return less("N", record.ncount, query.ncount);
    case ScreenResult::kOxygen:
      return less("O", record.ocount, query.ocount);
    case ScreenResult::kPathCode: {
      const std::string& code = query.codes[static_cast<size_t>(verdict.code)];
      return "path code " + std::to_string(verdict.code + 1) + " of " +
             std::to_string(query.codes.size()) +
             " not found: " + (code.empty() ? std::string("(empty)") : AnsiToUtf8(code));
    }
  }
  return {};
}

int32_t RunScreening(SearchState& state, const Query& query, ScreeningStats* stats) {
  ScreeningStats counts;
  KeySignature wanted;
  bool emptyCode = false;
  for (const std::string& code : query.codes) {
    AddKeyGrams(wanted, code);
    emptyCode = emptyCode || code.empty();
  }
  std::vector<PreparedCode> codes;
  for (const std::string& code : query.codes) codes.push_back(Prepare(code));
  const size_t n = std::min(state.records.size(), static_cast<size_t>(state.mlcount));
  const bool indexed = state.signatures.size() == state.records.size();
  // Records [from, to): their hit rows in order, and the counts.
  auto screen = [&](size_t from, size_t to, std::vector<int32_t>& rows, ScreeningStats& part) {
    for (size_t r = from; r < to; ++r) {
      const mldata& rec = state.records[r];
      // Keys live in separate blocks: ask for a later record's key early.
      if (r + kPrefetchAhead < to) __builtin_prefetch(state.records[r + kPrefetchAhead].key.data());
      if (!PassesScreens(rec, query)) continue;
      ++part.screened;
      if (indexed && !Covers(state.signatures[r], wanted)) continue;
      ++part.candidates;
      part.keyBytesTested += static_cast<int64_t>(rec.key.size());
      bool all = true;
      for (const PreparedCode& code : codes) {
        if (!Contains(rec.key, code)) {
          all = false;
          break;
        }
      }
      if (all) rows.push_back(static_cast<int32_t>(r));
    }
  };
  std::vector<int32_t> hitrows;
  if (!emptyCode) {
    // A large database is cut into one run of records per core; the hits are
    // joined in database order.
    const size_t parts =
        n < kRecordsPerThread
            ? 1
            : std::clamp<size_t>(std::thread::hardware_concurrency(), 1, n / kRecordsPerThread);
    std::vector<std::vector<int32_t>> rows(parts);
    std::vector<ScreeningStats> counted(parts);
    std::vector<std::thread> threads;
    for (size_t t = 1; t < parts; ++t) {
      threads.emplace_back(screen, n * t / parts, n * (t + 1) / parts, std::ref(rows[t]),
                           std::ref(counted[t]));
    }
    screen(0, n / parts, rows[0], counted[0]);
    for (std::thread& t : threads) t.join();
    size_t total = 0;
    for (const auto& r : rows) total += r.size();
    hitrows.reserve(total);
    for (size_t t = 0; t < parts; ++t) {
      hitrows.insert(hitrows.end(), rows[t].begin(), rows[t].end());
      counts.screened += counted[t].screened;
      counts.candidates += counted[t].candidates;
      counts.keyBytesTested += counted[t].keyBytesTested;
    }
  }
  std::vector<std::string> hitnames;
  hitnames.reserve(hitrows.size());
  for (int32_t r : hitrows) hitnames.emplace_back(state.records[static_cast<size_t>(r)].name);
  state.hitnames = std::move(hitnames);
  state.hitrows = std::move(hitrows);
  state.hitcount = static_cast<int32_t>(state.hitnames.size());
  state.hitpos = 1;
  if (stats != nullptr) *stats = counts;
  return state.hitcount;
}

int32_t RunScreening(SearchState& state, const Molecule& mol) {
  return RunScreening(state, MakeQuery(mol));
}

std::vector<RecordVerdict> ExplainScreening(const SearchState& state, const Query& query) {
  std::vector<RecordVerdict> verdicts;
  const size_t n = std::min(state.records.size(), static_cast<size_t>(state.mlcount));
  verdicts.reserve(n);
  for (size_t r = 0; r < n; ++r) verdicts.push_back(ScreenRecord(state.records[r], query));
  return verdicts;
}

}  // namespace vuduzez
