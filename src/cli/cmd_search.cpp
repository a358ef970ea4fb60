// vuduzez-cli search [--explain] [--exact] [--format F] QUERY...: substructure
// search of the database: hits on stdout in database order (names, or SD, CSV
// or JSON lines), the hit count on stderr. The queries are MOL, SD or SMILES
// files, "-" for standard input, or SMILES with --smiles (cli/queries.h); a
// run of several queries says on every hit which query found it. --exact
// confirms the screened hits atom by atom.
#include <algorithm>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/queries.h"
#include "cli/workspace.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "register/prepare.h"
#include "search/exact_search.h"
#include "search/hit_export.h"
#include "search/screening.h"
#include "search/search.h"

namespace vuduzez::cli {

namespace {

// Progress of reading MOL files for the connection tables, on stderr.
class TablesSink : public StderrSink {
 public:
  void Progress(int done, int total) override {
    if (done == total || done % 5000 == 0) {
      std::cerr << "connection tables: " << done << " of " << total << " read\n";
    }
  }
};

// How the screened records of a query become its hits. Every mode screens
// first (weight, C/N/O counts, path codes); a mode added here takes the
// screened records from there and leaves its hits in state.hitnames.
enum class SearchMode {
  kScreen,  // the screened records are the hits
  kExact,   // each screened record confirmed atom by atom
};

struct RunOptions {
  SearchMode mode = SearchMode::kScreen;
  bool explain = false;
  HitFormat format = HitFormat::kNames;
  bool queryColumn = false;
};

// What one query's search found.
struct QueryResult {
  int32_t hits = 0;
  ExactResult confirmed;  // kExact
};

QueryResult SearchQuery(const RunOptions& options, SearchState& state, ExactState& tables,
                        const Molecule& mol, const Settings& settings) {
  QueryResult r;
  r.hits = SearchStructure(state, mol);
  switch (options.mode) {
    case SearchMode::kScreen:
      break;
    case SearchMode::kExact: {
      TablesSink progress;
      r.confirmed =
          ConfirmHits(state, tables, MakeSubstructureQuery(mol), settings.basedir1, progress);
      r.hits = state.hitcount;
      break;
    }
  }
  return r;
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
  const std::vector<std::string> why = ExplainConfirmation(r.confirmed, verdicts.size());
  for (size_t row = 0; row < verdicts.size(); ++row) {
    if (options.queryColumn) std::cout << q.label << '\t';
    std::cout << AnsiToUtf8(std::string(state.records[row].name)) << '\t'
              << (why[row].empty() ? ExplainVerdict(state.records[row], query, verdicts[row])
                                   : why[row])
              << '\n';
  }
}

int RunSearch(const std::vector<std::string>& allArgs) {
  std::vector<std::string> args = allArgs;
  SplitAttachedValue(args, "--smiles");
  std::string formatName = "names";
  if (!TakeOption(args, "--format", formatName)) return Usage("search");
  const std::optional<HitFormat> format = ParseHitFormat(formatName);
  if (!format) {
    std::cerr << "vuduzez-cli search: unknown format " << formatName << '\n';
    return Usage("search");
  }
  auto ws = OpenWorkspace("search", args, {"--explain", "--smiles", "--exact"});
  if (!ws) return Usage("search");
  if (ws->args.empty()) return Usage("search");
  auto flag = [&](const char* f) {
    return std::find(ws->flags.begin(), ws->flags.end(), f) != ws->flags.end();
  };
  RunOptions options;
  options.format = *format;
  options.explain = flag("--explain");
  if (flag("--exact")) options.mode = SearchMode::kExact;

  const QueryList list =
      ReadQueries(ws->args, flag("--smiles") ? std::optional(QueryForm::kSmiles) : std::nullopt);
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

  SearchState state;
  ExactState tables;
  LoadSearchDataStamped(state, tables, ws->settings.mdatafilename, /*mapped=*/true);
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
    const QueryResult r = SearchQuery(options, state, tables, mol, ws->settings);

    if (options.explain) {
      Explain(options, q, state, verdicts, r, mol, prepared);
    } else {
      const int unwritten = WriteHits(
          writer, options.format, state.hitnames, ws->settings.basedir1,
          [](const std::string& m) { std::cerr << m << '\n'; }, q.label);
      if (unwritten > 0) status = kExitFailed;
      for (const auto& u : r.confirmed.unconfirmed) {
        std::cerr << "unconfirmed: "
                  << AnsiToUtf8(std::string(state.records[static_cast<size_t>(u.row)].name)) << ": "
                  << u.reason << '\n';
      }
    }
    std::cout.flush();
    if (options.queryColumn) std::cerr << q.label << ": ";
    std::cerr << r.hits << " hits of " << state.mlcount << " records";
    if (options.mode == SearchMode::kExact) {
      std::cerr << " (" << r.confirmed.screened << " screened, " << r.confirmed.unconfirmed.size()
                << " unconfirmed)";
    }
    std::cerr << '\n';
    if (r.hits == 0 && !options.queryColumn) std::cerr << kNoMatch << '\n';
  }
  return status;
}

[[maybe_unused]] const bool registered = RegisterCommand(
    {"search",
     "search [--db FILE] [--mol-dir DIR] [--explain] [--exact] [--format names|sdf|csv|json] "
     "(QUERY... | --smiles SMILES...)   substructure search: hits in database order",
     &RunSearch,
     "QUERY is a MOL file, an SD file (every record a query), a SMILES list (.smi:\n"
     "one SMILES a line, a name after it) or - for standard input in any of these\n"
     "forms. When the queries come from a list, or there are several, every hit\n"
     "says which query found it (a first column \"query\").\n\n"
     "  --db FILE             the database file (else vuduzez.ini's)\n"
     "  --mol-dir DIR         the MOL file folder (else vuduzez.ini's)\n"
     "  --smiles SMILES...    SMILES queries (- reads one a line from standard input)\n"
     "  --format F            names (default), sdf, csv or json (one object a line)\n"
     "  --exact               confirm every screened record atom by atom\n"
     "  --explain             say for every record why it is a hit or not\n"
     "Every option also takes the form --option=VALUE.\n"});

}  // namespace

}  // namespace vuduzez::cli
