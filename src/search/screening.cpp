#include "search/screening.h"

#include <string.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/encoding.h"
#include "platform/errors.h"
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

inline uint32_t GramBit(const char* p) {
  uint64_t v = 0;
  std::memcpy(&v, p, kGram);
  v *= 0x9E3779B97F4A7C15ull;
  return static_cast<uint32_t>(v >> 32) % kBits;
}

inline void SetBit(KeySignature& s, uint32_t bit) { s.bits[bit >> 6] |= uint64_t{1} << (bit & 63); }

// Adds the fragments of one code (a text without "/").
void AddCodeGrams(KeySignature& s, std::string_view code) {
  if (code.size() < kGram) return;
  for (size_t i = 0; i + kGram <= code.size(); ++i) SetBit(s, GramBit(code.data() + i));
}

KeySignature SignatureOf(std::string_view key) {
  KeySignature s;
  size_t from = 0;
  while (from <= key.size()) {
    size_t slash = key.find('/', from);
    if (slash == std::string_view::npos) slash = key.size();
    AddCodeGrams(s, key.substr(from, slash - from));
    from = slash + 1;
  }
  return s;
}

inline bool Covers(const KeySignature& record, const KeySignature& query) {
  uint64_t missing = 0;
  for (int i = 0; i < KeySignature::kWords; ++i) missing |= query.bits[i] & ~record.bits[i];
  return missing == 0;
}

inline bool Contains(const std::string& key, const std::string& code) {
  if (code.empty()) return false;  // an empty path code is never found
  return ::memmem(key.data(), key.size(), code.data(), code.size()) != nullptr;
}

inline bool PassesScreens(const mldata& r, const Query& q) {
  return r.weight >= q.weight && r.ccount >= q.ccount && r.ncount >= q.ncount &&
         r.ocount >= q.ocount;
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
    if (Trim(nameLine).empty()) continue;  // blank lines between records and at the end
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
  LoadSearchText(state, ReadWholeFile(path));
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
      if (!Contains(record.key, query.codes[i])) {
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

int32_t RunScreening(SearchState& state, const Query& query) {
  KeySignature wanted;
  bool emptyCode = false;
  for (const std::string& code : query.codes) {
    AddCodeGrams(wanted, code);
    emptyCode = emptyCode || code.empty();
  }
  std::vector<std::string> hitnames;
  std::vector<int32_t> hitrows;
  const size_t n = std::min(state.records.size(), static_cast<size_t>(state.mlcount));
  const bool indexed = state.signatures.size() == state.records.size();
  if (!emptyCode) {
    for (size_t r = 0; r < n; ++r) {
      const mldata& rec = state.records[r];
      if (!PassesScreens(rec, query)) continue;
      if (indexed && !Covers(state.signatures[r], wanted)) continue;
      bool all = true;
      for (const std::string& code : query.codes) {
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
