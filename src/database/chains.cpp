#include "database/chains.h"

#include <array>
#include <string_view>
#include <utility>

#include "database/database.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kSteps = {{
    {"C@C@C@C@C@C@", "X6"},
    {"C@C@C@C@C@", "X5"},
    {"C@C@C@C@", "X4"},
    {"C@C@C@", "X3"},
    {"C@C@", "X2"},
    {"C-C-C-C-C-C-", "Y6"},
    {"C-C-C-C-C-", "Y5"},
    {"C-C-C-C-", "Y4"},
    {"C-C-C-", "Y3"},
    {"C-C-", "Y2"},
}};

}  // namespace

std::string AbbreviateChains(std::string line) {
  // No replacement holds "C", "@" or "-", so a replacement never makes a new
  // match: replacing every occurrence left to right in one pass is the same as
  // replacing the leftmost one again and again.
  for (const auto& [pattern, replacement] : kSteps) {
    size_t at = line.find(pattern);
    if (at == std::string::npos) continue;
    std::string out;
    out.reserve(line.size());
    size_t from = 0;
    while (at != std::string::npos) {
      out.append(line, from, at - from);
      out += replacement;
      from = at + pattern.size();
      at = line.find(pattern, from);
    }
    out.append(line, from, std::string::npos);
    line = std::move(out);
  }
  return line;
}

int RewriteChains(const std::string& dbPath, MessageSink& sink, const ReplaceFault& fault) {
  int changed = 0;
  RewriteDatabaseFile(
      dbPath,
      [&](const std::string& text) {
        std::string out;
        out.reserve(text.size());
        LineReader reader(text);
        while (!reader.AtEnd()) {
          std::string_view line = reader.Next();
          std::string rewritten = AbbreviateChains(std::string(line));
          if (rewritten != line) ++changed;
          out += rewritten;
          out += "\r\n";
        }
        return out;
      },
      fault);
  sink.ShowMessage(kRewriteFinished);
  return changed;
}

}  // namespace vuduzez
