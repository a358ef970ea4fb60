#include "register/recompute.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "database/database.h"
#include "database/mol_files.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

class QuietSink : public MessageSink {
 public:
  void ShowMessage(const std::string&) override {}
};

}  // namespace

RecomputeSummary RecomputeRecords(const std::string& dbPath, const std::string& molFolder,
                                  bool keys, MessageSink& sink) {
  RecomputeSummary summary;
  auto mol = std::make_unique<Molecule>();
  QuietSink quiet;
  RewriteDatabaseFile(dbPath, [&](int fd, ReplacementWriter& out) {
    summary = {};
    struct stat st;
    const off_t size = ::fstat(fd, &st) == 0 ? st.st_size : 0;
    int lastShare = -1;
    RecordStream stream(fd, dbPath);
    RecordLines r;
    auto line = [&](std::string_view text) {
      out.Write(text);
      out.Write("\r\n");
    };
    for (bool more = true; more;) {
      more = stream.Next(r);
      for (int i = 0; i < stream.BlankLinesBefore(); ++i) out.Write("\r\n");
      if (!more) break;
      if (r.count < 4) {
        // A short last record: only the lines it has, as they are.
        const std::string_view lines[] = {r.name, r.weight, r.formula, r.key};
        for (int i = 0; i < r.count; ++i) line(lines[i]);
        continue;
      }
      ++summary.records;
      const std::string nameLine(r.name);
      const std::string path = HitMolPath(molFolder, std::string(CompoundName(nameLine)));
      std::string weight(r.weight), formula(r.formula), key(r.key);
      MolReadResult read;
      const bool exists = FileExists(path);
      if (exists) {
        try {
          read = ReadMolFile(*mol, path, quiet);
        } catch (const RuntimeError& e) {
          // A MOL file that cannot be read or holds a field that is no
          // number leaves its record as it is; the others go on.
          read.status = MolReadStatus::kUnreadable;
          read.message = e.what();
        }
      }
      if (!exists) {
        summary.missing.push_back({nameLine, path});
      } else if (!read) {
        summary.refused.push_back({nameLine, read.message});
      } else if (!mol->queryfeature.empty()) {
        summary.refused.push_back({nameLine, mol->queryfeature});
      } else {
        CalcFormulaWeight(*mol);
        weight = mol->molweight;
        formula = mol->molformula;
        if (keys) {
          if (const KeyResult made = MakeStructureKey(*mol, quiet); made) {
            key = mol->keydata;
          } else {
            summary.keyKept.push_back({nameLine, made.message});
          }
        }
        if (weight != r.weight || formula != r.formula || key != r.key) {
          summary.changed.push_back({nameLine, std::string(r.weight), weight,
                                     std::string(r.formula), formula, key != r.key});
        }
      }
      line(r.name);
      line(weight);
      line(formula);
      line(key);
      const int share =
          size > 0 ? static_cast<int>(std::min<off_t>(1000, stream.RecordOffset() * 1000 / size))
                   : 0;
      if (share != lastShare) {
        lastShare = share;
        sink.Progress(share, 1000);
      }
    }
    if (lastShare != 1000) sink.Progress(1000, 1000);
  });
  return summary;
}

}  // namespace vuduzez
