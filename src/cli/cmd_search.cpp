// vuduzez-cli search [--explain] [--exact] [--chiral] [--similar [--threshold
// T] [--top K]] [--format F] QUERY...: substructure search of the database:
// hits on stdout in database order (names, or SD, CSV or JSON lines), the hit
// count on stderr; with --similar, the similar compounds ranked, each with its
// score (cmd_search_similar.h). The queries are
// MOL, SD or SMILES files, "-" for standard input, or SMILES with --smiles or
// SMARTS with --smarts (cli/queries.h); a run of several queries says on
// every hit which query found it. --exact (implied by --smarts and --chiral)
// matches atom by atom as RDKit does (cmd_search_exact.h); --identity finds
// the compound itself, its salt forms, stereoisomers and tautomers by their
// identity layers, saying for each hit the layer it shares.
#include <algorithm>
#include <charconv>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/cmd_search_exact.h"
#include "cli/cmd_search_similar.h"
#include "cli/progress.h"
#include "cli/queries.h"
#include "cli/workspace.h"
#include "database/identity_catalog.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "register/prepare.h"
#include "search/hit_export.h"
#include "search/screening.h"
#include "search/search.h"

namespace vuduzez::cli {

namespace {

// How a query's hits are found: the key screen (weight, C/N/O counts, path
// codes), or atom by atom as RDKit matches (its own index and screen).
enum class SearchMode {
  kScreen,    // the screened records are the hits
  kExact,     // the sound model (cmd_search_exact.h)
  kSimilar,   // ranked by similarity (cmd_search_similar.h)
  kIdentity,  // the identity layers of the sound model (database/identity_catalog.h)
};

struct RunOptions {
  SearchMode mode = SearchMode::kScreen;
  bool explain = false;
  bool smarts = false;
  bool chiral = false;
  HitFormat format = HitFormat::kNames;
  bool queryColumn = false;
  SimilarOptions similar;
};

// What one query's search found.
struct QueryResult {
  int32_t hits = 0;
};

QueryResult SearchQuery(SearchState& state, const Molecule& mol) {
  return QueryResult{SearchStructure(state, mol)};
}

// The exact search of every query of the list.
int RunExact(const RunOptions& options, const Workspace& ws, const QueryList& list, int status) {
  ExactSearcher exact(ws, options.chiral);
  HitWriter writer(std::cout, options.format, options.queryColumn);
  for (const QueryText& q : list.queries) {
    const chem::QueryForm form = q.form == QueryForm::kMol ? chem::QueryForm::kMolText
                                 : options.smarts          ? chem::QueryForm::kSmarts
                                                           : chem::QueryForm::kSmiles;
    const ExactSearcher::Outcome o = exact.Search(form, q.text, options.explain);
    if (!o.error.empty()) {
      std::cerr << q.where << QueryNotReadMessage(o.error) << '\n';
      status = kExitFailed;
      continue;
    }
    if (options.explain) {
      for (const std::string& line : o.verdicts) {
        if (options.queryColumn) std::cout << q.label << '\t';
        std::cout << line << '\n';
      }
    } else {
      const HitCounts written = WriteHits(
          writer, options.format, o.hits, ws.settings.basedir1, ws.settings.mdatafilename,
          [](const std::string& m) { std::cerr << m << '\n'; }, q.label);
      if (written.withoutStructure > 0) status = kExitFailed;
      for (const std::string& u : o.unconfirmed) std::cerr << "unconfirmed: " << u << '\n';
    }
    std::cout.flush();
    if (options.queryColumn) std::cerr << q.label << ": ";
    std::cerr << o.hits.size() << " hits of " << o.records << " records (" << o.candidates
              << " screened, " << o.unconfirmed.size() << " unconfirmed)";
    if (!o.rdkitReason.empty()) std::cerr << "; matched by RDKit: " << o.rdkitReason;
    std::cerr << '\n';
    if (o.hits.empty() && !options.queryColumn) std::cerr << kNoMatch << '\n';
  }
  writer.Finish();
  return status;
}

// The identity search of every query of the list: the records sharing a
// layer with it, in database order, each with the closest layer shared.
int RunIdentity(const RunOptions& options, const Workspace& ws, const QueryList& list, int status) {
  SoundState state;
  {
    ProgressSink progress("sound index: MOL files read");
    PrepareSoundIndex(state, ws.settings.mdatafilename, ws.settings.basedir1, progress);
  }
  const SoundIndex& ix = *state.index;
  HitWriter writer(std::cout, options.format, options.queryColumn, {kLayerColumn});
  for (const QueryText& q : list.queries) {
    // A SMILES line may name its structure after a blank.
    const chem::Identity id =
        q.form == QueryForm::kMol
            ? chem::StructureIdentity(q.text)
            : chem::SmilesIdentity(q.text.substr(0, q.text.find_first_of(" \t")));
    if (!id.known()) {
      std::cerr << q.where << QueryNotReadMessage("RDKit does not read it") << '\n';
      status = kExitFailed;
      continue;
    }
    std::vector<std::string> hits;
    std::vector<std::vector<std::string>> layers;
    for (const IdentityMatch& m : FindInIndex(ix, id)) {
      hits.push_back(m.name);
      layers.push_back({chem::IdentityLevelName(m.level)});
    }
    const HitCounts written = WriteHits(
        writer, options.format, hits, ws.settings.basedir1, ws.settings.mdatafilename,
        [](const std::string& m) { std::cerr << m << '\n'; }, q.label, &layers);
    if (written.withoutStructure > 0) status = kExitFailed;
    std::cout.flush();
    if (options.queryColumn) std::cerr << q.label << ": ";
    std::cerr << hits.size() << " hits of " << ix.size() << " records\n";
    if (hits.empty() && !options.queryColumn) std::cerr << kNoMatch << '\n';
  }
  writer.Finish();
  return status;
}

// The similarity search of every query of the list.
int RunSimilar(const RunOptions& options, const Workspace& ws, const QueryList& list, int status) {
  SimilarSearcher similar(ws, options.similar);
  HitWriter writer(std::cout, options.format, options.queryColumn, {kSimilarityColumn});
  for (const QueryText& q : list.queries) {
    const SimilarSearcher::Outcome o = similar.Search(
        q.form == QueryForm::kMol ? chem::QueryForm::kMolText : chem::QueryForm::kSmiles, q.text);
    if (!o.error.empty()) {
      std::cerr << q.where << QueryNotReadMessage(o.error) << '\n';
      status = kExitFailed;
      continue;
    }
    std::vector<std::vector<std::string>> scores;
    for (const std::string& score : o.scores) scores.push_back({score});
    const HitCounts written = WriteHits(
        writer, options.format, o.hits, ws.settings.basedir1, ws.settings.mdatafilename,
        [](const std::string& m) { std::cerr << m << '\n'; }, q.label, &scores);
    if (written.withoutStructure > 0) status = kExitFailed;
    std::cout.flush();
    if (options.queryColumn) std::cerr << q.label << ": ";
    std::cerr << o.hits.size() << " hits of " << o.records << " records (" << o.compared
              << " compared";
    if (o.unprinted > 0) std::cerr << ", " << o.unprinted << " not read by RDKit";
    std::cerr << ")\n";
    if (o.hits.empty() && !options.queryColumn) std::cerr << kNoMatch << '\n';
  }
  writer.Finish();
  return status;
}

// --threshold's value: a number from 0 to 1.
std::optional<double> ParseThreshold(const std::string& text) {
  double t = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), t);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !(t >= 0.0 && t <= 1.0)) {
    return std::nullopt;
  }
  return t;
}

// The record-by-record reasons of --explain: on stdout, one line per record.
void Explain(const RunOptions& options, const QueryText& q, const SearchState& state,
             const std::vector<RecordVerdict>& verdicts, const QueryResult& r, const Molecule& mol,
             const PreparedStructure& prepared) {
  const Query query = MakeQuery(mol);
  const std::string head = options.queryColumn ? "query " + q.label : std::string("query");
  std::cerr << head << ": weight " << query.weight << ", C " << query.ccount << ", N "
            << query.ncount << ", O " << query.ocount << ", " << query.codes.size()
            << " path codes: " << AnsiToUtf8(mol.keydata) << '\n';
  if (prepared.hydrogensLeftOut > 0) {
    std::cerr << head << ": " << KeyWithoutHydrogensNote(prepared.hydrogensLeftOut) << '\n';
  }
  (void)r;
  for (size_t row = 0; row < verdicts.size(); ++row) {
    if (options.queryColumn) std::cout << q.label << '\t';
    std::cout << AnsiToUtf8(std::string(state.records[row].name)) << '\t'
              << ExplainVerdict(state.records[row], query, verdicts[row]) << '\n';
  }
}

int RunSearch(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  SplitAttachedValue(args, "--smiles");
  SplitAttachedValue(args, "--smarts");
  std::string formatName = "names";
  if (!TakeOption(args, "--format", formatName)) return Usage("search");
  // Given at all ("--top=" too), before they are taken out.
  const auto given = [&args](const std::string& name) {
    for (const std::string& a : args) {
      if (a == "--") break;
      if (a == name || a.rfind(name + "=", 0) == 0) return true;
    }
    return false;
  };
  const bool thresholdGiven = given("--threshold"), topGiven = given("--top");
  std::string threshold, top;
  if (!TakeOption(args, "--threshold", threshold) || !TakeOption(args, "--top", top)) {
    return Usage("search");
  }
  const std::optional<HitFormat> format = ParseHitFormat(formatName);
  if (!format) {
    std::cerr << "vuduzez-cli search: unknown format " << formatName << '\n';
    return Usage("search");
  }
  auto ws = OpenWorkspace(
      "search", args,
      {"--explain", "--smiles", "--smarts", "--exact", "--chiral", "--similar", "--identity"});
  if (!ws) return Usage("search");
  if (ws->args.empty()) return Usage("search");
  auto flag = [&](const char* f) {
    return std::find(ws->flags.begin(), ws->flags.end(), f) != ws->flags.end();
  };
  RunOptions options;
  options.format = *format;
  options.explain = flag("--explain");
  options.smarts = flag("--smarts");
  options.chiral = flag("--chiral");
  if (flag("--smiles") && options.smarts) return Usage("search");
  if (flag("--exact") || options.smarts || options.chiral) options.mode = SearchMode::kExact;
  if (flag("--identity")) {
    // A compound, not a pattern: no SMARTS, stereo is one of its layers.
    if (options.mode == SearchMode::kExact || options.explain || flag("--similar") ||
        thresholdGiven || topGiven) {
      std::cerr << "vuduzez-cli search: --identity takes no --exact, --smarts, --chiral, "
                   "--similar or --explain\n";
      return Usage("search");
    }
    options.mode = SearchMode::kIdentity;
  } else if (flag("--similar")) {
    // Ranked by similarity: no pattern, stereo or per-record reasons.
    if (options.mode == SearchMode::kExact || options.explain) {
      std::cerr << "vuduzez-cli search: --similar takes no --exact, --smarts, --chiral or "
                   "--explain\n";
      return Usage("search");
    }
    options.mode = SearchMode::kSimilar;
    // --top alone: the K most similar, whatever their score.
    options.similar.threshold = topGiven ? 0.0 : kDefaultSimilarity;
    if (thresholdGiven) {
      const std::optional<double> t = ParseThreshold(threshold);
      if (!t) {
        std::cerr << "vuduzez-cli search: --threshold takes a number from 0 to 1, not " << threshold
                  << '\n';
        return Usage("search");
      }
      options.similar.threshold = *t;
    }
    if (topGiven) {
      int k = 0;
      if (!TryStrToInt(top, k) || k < 1) {
        std::cerr << "vuduzez-cli search: --top takes a whole number of 1 or more, not " << top
                  << '\n';
        return Usage("search");
      }
      options.similar.top = static_cast<size_t>(k);
    }
  } else if (thresholdGiven || topGiven) {
    std::cerr << "vuduzez-cli search: --threshold and --top go with --similar\n";
    return Usage("search");
  }

  // A SMARTS is read as a SMILES is: a text given, or one a line from "-".
  const QueryList list =
      ReadQueries(ws->args, flag("--smiles") || options.smarts ? std::optional(QueryForm::kSmiles)
                                                               : std::nullopt);
  int status = kExitOk;
  for (const std::string& p : list.problems) {
    std::cerr << p << '\n';
    status = kExitFailed;
  }
  if (list.queries.empty()) {
    std::cerr << "vuduzez-cli search: no query in " << ws->args[0] << '\n';
    return kExitFailed;
  }
  options.queryColumn = list.queryColumn();

  if (options.mode == SearchMode::kExact) return RunExact(options, *ws, list, status);
  if (options.mode == SearchMode::kIdentity) return RunIdentity(options, *ws, list, status);
  if (options.mode == SearchMode::kSimilar) return RunSimilar(options, *ws, list, status);

  SearchState state;
  LoadSearchDataStamped(state, ws->settings.mdatafilename, /*mapped=*/true);
  HitWriter writer(std::cout, options.format, options.queryColumn);
  StderrSink err;
  Molecule mol;
  for (const QueryText& q : list.queries) {
    ForwardingSink ui(err, q.where);
    PreparedStructure prepared;
    try {
      prepared = q.form == QueryForm::kSmiles ? PrepareSmiles(mol, q.text, ui)
                                              : PrepareMolText(mol, q.text, ui);
    } catch (const RuntimeError& e) {
      ui.ShowMessage(e.what());
    }
    if (!prepared) {
      status = kExitFailed;
      continue;
    }
    std::vector<RecordVerdict> verdicts;
    if (options.explain) verdicts = ExplainScreening(state, MakeQuery(mol));
    const QueryResult r = SearchQuery(state, mol);

    if (options.explain) {
      Explain(options, q, state, verdicts, r, mol, prepared);
    } else {
      const HitCounts written = WriteHits(
          writer, options.format, state.hitnames, ws->settings.basedir1, ws->settings.mdatafilename,
          [](const std::string& m) { std::cerr << m << '\n'; }, q.label);
      if (written.withoutStructure > 0) status = kExitFailed;
    }
    std::cout.flush();
    if (options.queryColumn) std::cerr << q.label << ": ";
    std::cerr << r.hits << " hits of " << state.mlcount << " records\n";
    if (r.hits == 0 && !options.queryColumn) std::cerr << kNoMatch << '\n';
  }
  writer.Finish();
  return status;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"search",
     "search [--db FILE] [--mol-dir DIR] [--explain] [--exact] [--chiral] [--identity] "
     "[--similar [--threshold T] [--top K]] "
     "[--format names|sdf|csv|json] (QUERY... | --smiles SMILES... | --smarts SMARTS...)   "
     "substructure search: hits in database order (--similar: ranked by similarity)",
     &RunSearch,
     "QUERY is a MOL file, an SD file (every record a query), a SMILES list (.smi:\n"
     "one SMILES a line, a name after it) or - for standard input in any of these\n"
     "forms. When the queries come from a list, or there are several, every hit\n"
     "says which query found it (a first column \"query\").\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"
     "  --smiles SMILES...    SMILES queries (- reads one a line from standard input)\n"
     "  --format F            names (default), sdf, csv or json (one object a line)\n"
     "  --smarts SMARTS...    SMARTS queries (implies --exact)\n"
     "  --exact               match atom by atom as RDKit does (RDKit's reading of every\n"
     "                        record's MOL file and of the query; an index in the cache)\n"
     "  --chiral              match stereo too (implies --exact)\n"
     "  --identity            find the compound itself, its salt forms, stereoisomers\n"
     "                        and tautomers; a column \"layer\" says which each hit is:\n"
     "                        exact, parent (salt form), nostereo, tautomer\n"
     "  --explain             say for every record why it is a hit or not\n"
     "  --similar             similar compounds: RDKit's Tanimoto of Morgan fingerprints\n"
     "                        (radius 2, 2048 bits), most similar first, each hit with its\n"
     "                        score (a last column \"similarity\"; an SD data item)\n"
     "  --threshold T         with --similar: hits of at least T (0 to 1; default 0.7,\n"
     "                        or 0 when --top is given alone)\n"
     "  --top K               with --similar: the K most similar at most\n"
     "Every option also takes the form --option=VALUE.\n"});

}  // namespace

}  // namespace vuduzez::cli
