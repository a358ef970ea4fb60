// Hit lists leaving the system: hit names, SD files (each hit's MOL file with
// its name, formula and weight as data items), CSV and JSON lines. Used by
// `vuduzez-cli search --format` and the search window's "検索結果を保存".
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "model/molecule.h"

namespace vuduzez {

enum class HitFormat { kNames, kSdf, kCsv, kJson };

// "names", "sdf", "csv", "json"; nullopt for anything else.
std::optional<HitFormat> ParseHitFormat(std::string_view text);

// By a file name's extension, letter case aside: .sdf and .sd SD, .csv CSV,
// .json and .jsonl JSON lines, .txt names; nullopt otherwise.
std::optional<HitFormat> HitFormatForFile(std::string_view path);

// One hit as written out. Texts are UTF-8 except molfile, which keeps the
// bytes of the MOL file.
struct HitExport {
  std::string name;
  std::string formula;  // of the MOL file, as the search window shows it
  std::string weight;
  std::string molfile;  // the whole MOL file; empty when it could not be read
  std::string error;    // why it could not be read ("" when it could)
  std::string query;    // the query it was found by, for a writer with a query column
  std::string score;    // its similarity to the query, for a writer with a score column
};

// The hit's MOL file from the MOL folder (HitMolPath), read and completed for its formula
// and weight (mol is the caller's scratch molecule). A missing, unreadable or
// refused file gives a HitExport with error set and the name alone.
HitExport PrepareHitExport(Molecule& mol, const std::string& molFolder, const std::string& name);

// Writes hits one at a time in a format: names and JSON lines end in LF, SD
// and CSV (files for other programs) in CR LF. The CSV header line is written
// when the writer is made. With a query column (a search of several queries)
// every hit says which query found it: names become "query<TAB>name", CSV and
// JSON get a first field "query", SD records a data item <query>. With a
// score column (a similarity search) every hit carries its score: names
// become "name<TAB>score", CSV and JSON get a last field "similarity" (a
// number in JSON), SD records a data item <similarity>.
class HitWriter {
 public:
  HitWriter(std::ostream& out, HitFormat format, bool queryColumn = false,
            bool scoreColumn = false);

  // Writes one hit. False when the hit could not be written whole: for SD a
  // hit without its MOL file is left out; CSV and JSON write the name with
  // empty formula and weight (JSON adds "error").
  bool Write(const HitExport& hit);

 private:
  std::ostream& out_;
  HitFormat format_;
  bool queryColumn_;
  bool scoreColumn_;
};

// Writes the hits (database names, CP932) in the format, reading each hit's
// MOL file from molFolder unless only names are asked for. A hit that could
// not be written whole is reported through report ("name: reason"). Returns
// the number of such hits.
int WriteHits(std::ostream& out, HitFormat format, const std::vector<std::string>& hitnames,
              const std::string& molFolder, const std::function<void(const std::string&)>& report);

// The same through a writer made by the caller (several hit lists in one
// output); every hit carries query for the writer's query column, and its
// score (scores[i] for hit i, when given) for the score column.
int WriteHits(HitWriter& writer, HitFormat format, const std::vector<std::string>& hitnames,
              const std::string& molFolder, const std::function<void(const std::string&)>& report,
              const std::string& query = {}, const std::vector<std::string>* scores = nullptr);

// The same into a file, which is replaced whole (the hits go to a new file
// beside it that is renamed over it once complete). Throws RuntimeError when
// the file cannot be written; an old file then stays as it was.
int SaveHits(const std::string& path, HitFormat format, const std::vector<std::string>& hitnames,
             const std::string& molFolder, const std::function<void(const std::string&)>& report,
             const std::vector<std::string>* scores = nullptr);

// The parts, for tests and other writers.
std::string SdHitRecord(const HitExport& hit, bool queryItem = false,
                        bool scoreItem = false);  // "" without a MOL file
std::string CsvField(std::string_view text);
std::string JsonText(std::string_view utf8);
// A number text as a JSON number ("78.11", "-1e3"); null when it is empty or not
// a number in JSON's form.
std::string JsonNumber(std::string_view text);

}  // namespace vuduzez
