// Hit lists leaving the system: hit names, SD files (each hit's MOL file with
// its name, formula and weight as data items, and the data items its MOL
// file keeps after its structure), CSV and JSON lines. Used by `vuduzez-cli
// search --format`, `export` and the search window's "検索結果を保存". Every
// hit is written: one whose MOL file is missing or unreadable becomes a
// record with its name, the database's formula and weight, an empty
// structure and a data item saying why.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
  std::string formula;  // of the MOL file, as the search window shows it (else the database's)
  std::string weight;
  std::string molfile;  // the MOL file's block; empty when it could not be read
  std::string error;    // why it could not be read ("" when it could)
  std::string query;    // the query it was found by, for a writer with a query column
  // The data items the MOL file keeps after its block (an imported SD
  // record's), in order.
  std::vector<std::pair<std::string, std::string>> data;
  // The values of the writer's own columns (HitWriter's extraColumns).
  std::vector<std::string> extra;
};

// Where hits come from: their MOL files (HitMolPath in molFolder) and, for a
// hit whose MOL file cannot be read, its record's formula and weight lines.
struct HitRecordLines {
  std::string formula;  // CP932, as in the database
  std::string weight;
};
using HitRecords = std::unordered_map<std::string, HitRecordLines>;  // by compound name (CP932)

// The formula and weight lines of the records of those compound names (the
// first record of a name), read from the database file in one pass; none
// when it cannot be read.
HitRecords HitRecordsFor(const std::string& dbPath, const std::vector<std::string>& names);

// The hit's MOL file from the MOL folder (HitMolPath), read and completed for
// its formula and weight (mol is the caller's scratch molecule), with the
// data items kept after its block. A missing, unreadable or refused file
// gives a HitExport with error set and the record's formula and weight from
// records (empty when it is not there).
HitExport PrepareHitExport(Molecule& mol, const std::string& molFolder, const std::string& name,
                           const HitRecords* records = nullptr);

// The columns of a similarity search's score and an identity search's layer.
inline constexpr const char* kSimilarityColumn = "similarity";
inline constexpr const char* kLayerColumn = "layer";

// Writes hits one at a time in a format: names and JSON lines end in LF, SD
// and CSV (files for other programs) in CR LF. With a query column (a search
// of several queries) every hit says which query found it: names become
// "query<TAB>name", CSV and JSON get a first field "query", SD records a data
// item <query>. extraColumns are the writer's own (an identity search's
// "layer", a similarity search's score "similarity"), after the name, formula
// and weight: a data item each in SD, a field in CSV and JSON (a value that
// is a number as a JSON number), a tab-separated field after the name in
// names. CSV
// has a column for every data item of the hits too, so its lines are written
// by Finish, once every hit is known.
class HitWriter {
 public:
  HitWriter(std::ostream& out, HitFormat format, bool queryColumn = false,
            std::vector<std::string> extraColumns = {});
  ~HitWriter();  // Finish (for CSV), errors of the stream aside

  // Writes one hit (every hit: one without its MOL file gets an empty
  // structure in SD). False when it has no structure.
  bool Write(const HitExport& hit);
  // Writes what waits (CSV's header and lines). Later calls do nothing.
  void Finish();

 private:
  std::ostream& out_;
  HitFormat format_;
  bool queryColumn_;
  std::vector<std::string> extraColumns_;
  // CSV: the hits in hand and the data item names in the order first seen.
  std::vector<HitExport> rows_;
  std::vector<std::string> dataColumns_;
  bool finished_ = false;
};

// How many hits were written, and how many of them without a structure
// (their MOL file missing or unreadable).
struct HitCounts {
  int written = 0;
  int withoutStructure = 0;
};

// Writes the hits (compound names, CP932) in the format through a writer made
// by the caller (several hit lists in one output), reading each hit's MOL
// file from molFolder unless only names are asked for; a hit without its
// structure takes its formula and weight from the database file dbPath
// ("" for none) and is reported through report ("name: reason"). Every hit
// carries query for the writer's query column and extra[i] (when given) for
// its own columns.
HitCounts WriteHits(HitWriter& writer, HitFormat format, const std::vector<std::string>& hitnames,
                    const std::string& molFolder, const std::string& dbPath,
                    const std::function<void(const std::string&)>& report,
                    const std::string& query = {},
                    const std::vector<std::vector<std::string>>* extra = nullptr);

// The same to a stream with a writer of its own.
HitCounts WriteHits(std::ostream& out, HitFormat format, const std::vector<std::string>& hitnames,
                    const std::string& molFolder, const std::string& dbPath,
                    const std::function<void(const std::string&)>& report);

// The same into a file, which is replaced whole (the hits go to a new file
// beside it that is renamed over it once complete). Throws RuntimeError when
// the file cannot be written; an old file then stays as it was.
HitCounts SaveHits(const std::string& path, HitFormat format,
                   const std::vector<std::string>& hitnames, const std::string& molFolder,
                   const std::string& dbPath, const std::function<void(const std::string&)>& report,
                   const std::vector<std::string>& extraColumns = {},
                   const std::vector<std::vector<std::string>>* extra = nullptr);

// The parts, for tests and other writers: an SD record of a hit (an empty
// structure when it has no MOL file, with a data item "error" saying why),
// with its query item when asked and the values of extra columns.
std::string SdHitRecord(const HitExport& hit, bool queryItem = false,
                        const std::vector<std::string>& extraColumns = {});
std::string CsvField(std::string_view text);
std::string JsonText(std::string_view utf8);
// A number text as a JSON number ("78.11", "-1e3"); null when it is empty or not
// a number in JSON's form.
std::string JsonNumber(std::string_view text);

}  // namespace vuduzez
