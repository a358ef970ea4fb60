#include "database/chains.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "database/database.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

#if defined(__SSE2__)
// Bits of the bytes p[0..15] where a run of at least two units starts: "C", a
// bond ("@" or "-"), "C", the same bond.
inline unsigned RunStarts(const char* p) {
  auto at = [p](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)); };
  const __m128i c = _mm_set1_epi8('C');
  const __m128i bond = at(1);
  const __m128i isBond = _mm_or_si128(_mm_cmpeq_epi8(bond, _mm_set1_epi8('@')),
                                      _mm_cmpeq_epi8(bond, _mm_set1_epi8('-')));
  const __m128i run =
      _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at(0), c), _mm_cmpeq_epi8(at(2), c)),
                    _mm_and_si128(_mm_cmpeq_epi8(bond, at(3)), isBond));
  return static_cast<unsigned>(_mm_movemask_epi8(run));
}
#endif

// The ten steps in one pass, with the same result: every replacement holds no
// "C", "@" or "-", so a run of n "C@" (or "C-") units between other bytes
// ends up as n / 6 "X6" followed by the abbreviation of the n % 6 left over
// (a single unit stays as it is), whichever step takes which part.
void AppendAbbreviated(std::string& out, std::string_view line) {
  // Never longer than the line: written in place, byte by byte.
  const size_t start = out.size();
  out.resize(start + line.size());
  char* o = out.data() + start;
  const char* p = line.data();
  const char* const e = p + line.size();
  while (p < e) {
#if defined(__SSE2__)
    // Sixteen bytes at a time up to where a run may start (the loads reach
    // three bytes further).
    if (e - p >= 19) {
      const unsigned starts = RunStarts(p);
      const size_t plain = starts == 0 ? 16 : static_cast<size_t>(__builtin_ctz(starts));
      std::memcpy(o, p, plain);
      o += plain;
      p += plain;
      if (starts == 0) continue;
    }
#endif
    if (p[0] == 'C' && e - p >= 4 && (p[1] == '@' || p[1] == '-') && p[2] == 'C' && p[3] == p[1]) {
      const char bond = p[1];
      size_t units = 2;
      const char* q = p + 4;
      while (e - q >= 2 && q[0] == 'C' && q[1] == bond) {
        ++units;
        q += 2;
      }
      const char letter = bond == '@' ? 'X' : 'Y';
      for (size_t k = 0; k < units / 6; ++k) {
        *o++ = letter;
        *o++ = '6';
      }
      const size_t rest = units % 6;
      if (rest == 1) {
        *o++ = 'C';
        *o++ = bond;
      } else if (rest > 1) {
        *o++ = letter;
        *o++ = static_cast<char>('0' + rest);
      }
      p = q;
      continue;
    }
    *o++ = *p++;
  }
  out.resize(static_cast<size_t>(o - out.data()));
}

}  // namespace

std::string AbbreviateChains(std::string line) {
  std::string out;
  out.reserve(line.size());
  AppendAbbreviated(out, line);
  return out;
}

int RewriteChains(const std::string& dbPath, MessageSink& sink, const ReplaceFault& fault) {
  int changed = 0;
  RewriteDatabaseFile(
      dbPath,
      [&](int fd, ReplacementWriter& out) {
        changed = 0;
        // Record by record, as every reader reads the file: only key lines
        // change, so every name still names its MOL file.
        RecordStream stream(fd, dbPath);
        std::string key;
        RecordLines r;
        for (bool more = true, first = true; more; first = false) {
          more = stream.Next(r);
          if (first && stream.ByteOrderMark()) out.Write(kByteOrderMark);
          // Blank lines are not records: kept as the empty lines they are.
          for (int i = 0; i < stream.BlankLinesBefore(); ++i) out.Write("\r\n");
          if (!more) break;
          const std::string_view lines[] = {r.name, r.weight, r.formula, r.key};
          for (int i = 0; i < r.count; ++i) {
            if (i == 3) {
              key.clear();
              AppendAbbreviated(key, r.key);
              if (key != r.key) ++changed;
              out.Write(key);
            } else {
              out.Write(lines[i]);
            }
            out.Write("\r\n");
          }
        }
      },
      fault);
  sink.ShowMessage(kRewriteFinished);
  return changed;
}

}  // namespace vuduzez
