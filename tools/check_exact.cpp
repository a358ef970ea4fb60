// The exact search's own screen and matcher beside RDKit's SubstructMatch on
// the same MOL files, query by query: prints the hit counts and every record
// where they differ (or the screen drops a match). Used by
// tools/check_exact.sh; exits 1 on any difference.
//
//   vuduzez_exact_check MOLDIR QUERIES.tsv
// QUERIES.tsv: one query a line, "name<TAB>form<TAB>text" with form smiles,
// smarts or mol (text: the path of a MOL file).
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "chem/perceive.h"
#include "chem/sound_query.h"
#include "search/sound_matcher.h"

using namespace vuduzez;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vuduzez_exact_check MOLDIR QUERIES.tsv\n";
    return 2;
  }
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::directory_iterator(argv[1])) {
    if (e.path().extension() == ".mol") paths.push_back(e.path().string());
  }
  std::sort(paths.begin(), paths.end());
  struct Record {
    std::string name, text;
    chem::PerceivedRecord perceived;
  };
  std::vector<Record> records;
  records.reserve(paths.size());
  int refused = 0;
  for (const std::string& p : paths) {
    Record r;
    r.name = std::filesystem::path(p).stem().string();
    r.text = ReadAll(p);
    r.perceived = chem::PerceiveRecord(r.text);
    refused += r.perceived.status == chem::RecordStatus::kOk ? 0 : 1;
    records.push_back(std::move(r));
  }
  std::cout << records.size() << " records, " << refused << " not perceived as graphs\n";
  std::ifstream list(argv[2]);
  int differences = 0;
  for (std::string line; std::getline(list, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, form, text;
    std::getline(fields, name, '\t');
    std::getline(fields, form, '\t');
    std::getline(fields, text);
    chem::QueryForm f = form == "smarts" ? chem::QueryForm::kSmarts
                        : form == "mol"  ? chem::QueryForm::kMolText
                                         : chem::QueryForm::kSmiles;
    const chem::QueryResult q = chem::CompileQuery(f, form == "mol" ? ReadAll(text) : text);
    if (!q.query) {
      std::cout << name << ": not read: " << q.error << '\n';
      continue;
    }
    SoundMatcher matcher(q.query->compiled);
    int rdkitHits = 0, ownHits = 0, screened = 0, gaveUp = 0;
    double ownMs = 0;
    for (const Record& r : records) {
      const chem::RdkitAnswer truth = chem::RdkitMatches(*q.query, r.text);
      rdkitHits += truth.matches ? 1 : 0;
      bool own = false;
      const auto t0 = std::chrono::steady_clock::now();
      if (r.perceived.status == chem::RecordStatus::kOk) {
        const bool passes = chem::Covers(r.perceived.fingerprint, q.query->fingerprint);
        screened += passes ? 1 : 0;
        if (!passes && truth.matches) {
          std::cout << "  SCREEN DROPS " << name << " in " << r.name << '\n';
          ++differences;
        }
        if (passes && q.query->ownMatcher) {
          chem::GraphView g;
          g.Adopt(r.perceived.graph);
          const MatchOutcome m = matcher.Match(g);
          gaveUp += m == MatchOutcome::kGaveUp ? 1 : 0;
          own = m == MatchOutcome::kMatch;
        } else if (passes) {
          own = chem::RdkitMatches(*q.query, r.text).matches;
        }
      } else if (r.perceived.status == chem::RecordStatus::kLarge) {
        own = chem::RdkitMatches(*q.query, r.text).matches;
      }
      ownMs +=
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      ownHits += own ? 1 : 0;
      if (own != truth.matches) {
        std::cout << "  DIFFERS " << name << " in " << r.name << ": ours " << own << ", RDKit "
                  << truth.matches << '\n';
        ++differences;
      }
    }
    std::cout << name << '\t' << form << '\t' << text << "\tRDKit " << rdkitHits << "\tours "
              << ownHits << "\tscreened " << screened << "\tgave up " << gaveUp << '\t'
              << (q.query->ownMatcher ? "own matcher" : "RDKit matcher: " + q.query->rdkitReason)
              << "\t" << ownMs << " ms\n";
  }
  std::cout << differences << " differences\n";
  return differences == 0 ? 0 : 1;
}
