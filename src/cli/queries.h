// The queries of a search run, read in one place whatever their form: MOL
// files, SD files (every record a query), SMILES lists (.smi: one SMILES a
// line, a name after it), SMILES given on the command line, and "-" for
// standard input in any of these forms. A search mode takes the list and
// never looks at where a query came from.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vuduzez::cli {

// How a query's text is to be read.
enum class QueryForm {
  kMol,     // a MOL block (bytes as read)
  kSmiles,  // a SMILES, a name after a blank
};

struct QueryText {
  std::string label;  // the query column: file name, SD title or SMILES name (UTF-8)
  std::string where;  // before its messages: "q.sdf: record 2: "
  QueryForm form = QueryForm::kMol;
  std::string text;
};

struct QueryList {
  std::vector<QueryText> queries;
  // A source was a list (SD file, SMILES list): the hits say which query
  // found them, however many queries there are.
  bool listed = false;
  // Records that are no query (not a MOL block), with where they are.
  std::vector<std::string> problems;

  // Whether the output gets a query column.
  bool queryColumn() const { return listed || queries.size() > 1; }
};

// Reads the queries of the sources, in order. Without `given`, each source
// is a file (or "-"), read by its extension (.mol MOL; .sdf, .sd SD; .smi,
// .smiles SMILES list) or else by its content (a "$$$$" line: SD; a counts
// line on line 4: MOL; otherwise a SMILES list). With `given`, each source
// is a query text of that form itself, and "-" reads one a line from
// standard input. Standard input is read once. Throws RuntimeError when a
// file cannot be read.
QueryList ReadQueries(const std::vector<std::string>& sources,
                      std::optional<QueryForm> given = std::nullopt);

}  // namespace vuduzez::cli
