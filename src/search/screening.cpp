#include "search/screening.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

// Fragments of kGram bytes inside one path code (never across "/") are hashed
// into the record's signature; a query code of kGram bytes or more sets the
// bits of its own fragments, and a record whose signature lacks any of them
// cannot contain the code.
constexpr size_t kGram = 5;
constexpr int kBits = KeySignature::kWords * 64;
constexpr size_t kPrefetchAhead = 8;

inline void SetBit(KeySignature& s, uint32_t bit) { s.bits[bit >> 6] |= uint64_t{1} << (bit & 63); }

// Sets the bits of every kGram-byte window of text that holds no "/". The
// window's bytes are rolled into one number, so each byte costs a shift, a
// multiplication and one bit set.
void AddGrams(KeySignature& s, std::string_view text) {
  constexpr uint64_t kMask = (uint64_t{1} << (8 * kGram)) - 1;
  constexpr int kShift = 64 - 10;  // top ten bits: 1024 bit positions
  static_assert(kBits == 1024);
  uint64_t window = 0;
  size_t run = 0;  // bytes since the last "/"
  for (char c : text) {
    if (c == '/') {
      run = 0;
      continue;
    }
    window = ((window << 8) | static_cast<unsigned char>(c)) & kMask;
    if (++run >= kGram)
      SetBit(s, static_cast<uint32_t>((window * 0x9E3779B97F4A7C15ull) >> kShift));
  }
}

KeySignature SignatureOf(std::string_view key) {
  KeySignature s;
  AddGrams(s, key);
  return s;
}

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
// bytes, which are compared first, sixteen key positions at a time.
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

// The scan of Contains from position i on, one byte at a time.
bool ContainsTail(const char* s, size_t i, size_t last, const PreparedCode& p) {
  const char* c = p.text.data();
  for (; i <= last; ++i) {
    if (s[i + p.a] == c[p.a] && s[i + p.b] == c[p.b] && std::memcmp(s + i, c, p.text.size()) == 0) {
      return true;
    }
  }
  return false;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Thirty-two key positions at a time, on processors that have AVX2.
__attribute__((target("avx2"))) bool ContainsAvx2(std::string_view key, const PreparedCode& p) {
  const size_t n = p.text.size();
  const char* s = key.data();
  const char* c = p.text.data();
  const size_t last = key.size() - n;
  size_t i = 0;
  const __m256i ca = _mm256_set1_epi8(c[p.a]);
  const __m256i cb = _mm256_set1_epi8(c[p.b]);
  for (; i + 32 <= last + 1; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + p.a));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + p.b));
    unsigned mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(x, ca), _mm256_cmpeq_epi8(y, cb))));
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(s + i + bit, c, n) == 0) return true;
      mask &= mask - 1;
    }
  }
  return ContainsTail(s, i, last, p);
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#endif

// Whether the code occurs in the key as a contiguous byte sequence; an empty
// code never does.
bool Contains(std::string_view key, const PreparedCode& p) {
  const size_t n = p.text.size();
  if (n == 0 || n > key.size()) return false;
  const char* s = key.data();
  const char* c = p.text.data();
  if (n == 1) return std::memchr(s, c[0], key.size()) != nullptr;
#if defined(__x86_64__) && defined(__GNUC__)
  if (kHaveAvx2) return ContainsAvx2(key, p);
#endif
  const size_t last = key.size() - n;  // last start position
  size_t i = 0;
#ifdef __SSE2__
  const __m128i ca = _mm_set1_epi8(c[p.a]);
  const __m128i cb = _mm_set1_epi8(c[p.b]);
  for (; i + 16 <= last + 1; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + p.a));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + p.b));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, ca), _mm_cmpeq_epi8(y, cb))));
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(s + i + bit, c, n) == 0) return true;
      mask &= mask - 1;
    }
  }
#endif
  return ContainsTail(s, i, last, p);
}

inline bool PassesScreens(const mldata& r, const Query& q) {
  return r.weight >= q.weight && r.ccount >= q.ccount && r.ncount >= q.ncount &&
         r.ocount >= q.ocount;
}

bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

int32_t IntegerPart(std::string_view text) { return StrToInt(std::string(BeforeFirst(text, '.'))); }

}  // namespace

int32_t CountElement(std::string_view formula, std::string_view symbol) {
  if (symbol.empty()) return 0;
  size_t at = formula.find(symbol);
  // The C of "Cl" is chlorine.
  while (at != std::string_view::npos && symbol == "C" && at + 1 < formula.size() &&
         formula[at + 1] == 'l') {
    at = formula.find(symbol, at + 1);
  }
  if (at == std::string_view::npos) return 0;
  size_t digits = at + symbol.size();
  size_t end = digits;
  while (end < formula.size() && formula[end] >= '0' && formula[end] <= '9') ++end;
  if (end == digits) return 1;
  return StrToInt(std::string(formula.substr(digits, end - digits)));
}

void LoadSearchText(SearchState& state, std::string_view text) {
  std::vector<mldata> records;
  std::vector<KeySignature> signatures;
  LineReader reader(text);
  while (!reader.AtEnd()) {
    std::string_view nameLine = reader.Next();
    if (IsBlank(nameLine)) continue;  // blank lines between records and at the end
    mldata r;
    r.name = BeforeFirst(nameLine, '.');
    r.weight = IntegerPart(reader.Next());
    std::string_view formula = reader.Next();
    r.ccount = CountElement(formula, "C");
    r.ncount = CountElement(formula, "N");
    r.ocount = CountElement(formula, "O");
    r.key = reader.Next();
    signatures.push_back(SignatureOf(r.key));
    records.push_back(std::move(r));
  }
  // Only a load that read the whole file replaces what was loaded before.
  state.records = std::move(records);
  state.signatures = std::move(signatures);
  state.mlcount = static_cast<int32_t>(state.records.size());
}

void LoadSearchData(SearchState& state, const std::string& path) {
  // The shared lock: a record being appended by another program is never
  // read half-written.
  LoadSearchText(state, DatabaseLock(path, LockMode::kShared).ReadAll());
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
  q.ccount = mol.elmcount[1];
  q.ncount = mol.elmcount[3];
  q.ocount = mol.elmcount[9];
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
    AddGrams(wanted, code);
    emptyCode = emptyCode || code.empty();
  }
  std::vector<PreparedCode> codes;
  for (const std::string& code : query.codes) codes.push_back(Prepare(code));
  std::vector<std::string> hitnames;
  std::vector<int32_t> hitrows;
  const size_t n = std::min(state.records.size(), static_cast<size_t>(state.mlcount));
  const bool indexed = state.signatures.size() == state.records.size();
  if (!emptyCode) {
    for (size_t r = 0; r < n; ++r) {
      const mldata& rec = state.records[r];
      // Keys live in separate blocks: ask for a later record's key early.
      if (r + kPrefetchAhead < n) __builtin_prefetch(state.records[r + kPrefetchAhead].key.data());
      if (!PassesScreens(rec, query)) continue;
      ++counts.screened;
      if (indexed && !Covers(state.signatures[r], wanted)) continue;
      ++counts.candidates;
      counts.keyBytesTested += static_cast<int64_t>(rec.key.size());
      bool all = true;
      for (const PreparedCode& code : codes) {
        if (!Contains(rec.key, code)) {
          all = false;
          break;
        }
      }
      if (!all) continue;
      hitnames.push_back(rec.name);
      hitrows.push_back(static_cast<int32_t>(r));
    }
  }
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
