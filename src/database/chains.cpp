#include "database/chains.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "database/database.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

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
        // Line by line through a block buffer: a line is never split, so one
        // that ends in a CR at the end of a block waits for the next block (it
        // may be a CR LF).
        std::string buf;
        std::string line;
        off_t offset = 0;
        size_t begin = 0;
        bool eof = false;
        for (;;) {
          const std::string_view data(buf.data() + begin, buf.size() - begin);
          size_t e = FindLineEnd(data, 0);
          const bool complete =
              e != std::string_view::npos && (eof || data[e] == '\n' || e + 1 < data.size());
          if (!complete && !eof) {
            buf.erase(0, begin);
            begin = 0;
            const size_t had = buf.size();
            buf.resize(had + (size_t{1} << 20));
            ssize_t n;
            do {
              n = ::pread(fd, buf.data() + had, buf.size() - had, offset);
            } while (n < 0 && errno == EINTR);
            if (n < 0) ThrowFileError(dbPath + " (" + std::strerror(errno) + ")", kCannotReadFile);
            buf.resize(had + static_cast<size_t>(n));
            offset += n;
            eof = n == 0;
            continue;
          }
          if (data.empty()) break;
          if (e == std::string_view::npos) e = data.size();
          const std::string_view text = data.substr(0, e);
          line.clear();
          AppendAbbreviated(line, text);
          if (line != text) ++changed;
          out.Write(line);
          out.Write("\r\n");
          size_t next = e + 1;
          if (e < data.size() && data[e] == '\r' && next < data.size() && data[next] == '\n')
            ++next;
          begin += std::min(next, data.size());
        }
      },
      fault);
  sink.ShowMessage(kRewriteFinished);
  return changed;
}

}  // namespace vuduzez
