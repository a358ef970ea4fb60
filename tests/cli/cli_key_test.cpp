// End-to-end tests of `vuduzez-cli key`: the built program is run on the
// bundled sample and on files written to a temporary folder, with stdout and
// stderr kept apart.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli_runner.h"
#include "support/json_reader.h"

namespace {

namespace fs = std::filesystem;

const std::string kSampleDir = std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol/";
const std::string kNotV2000 = "ChemDrawのファイルではありません";
const std::string kFileNotFound = "ファイルが見つかりません";

using CliRun = vuduzez::testing::CliResult;
using vuduzez::testing::Json;
using vuduzez::testing::JsonLines;
using vuduzez::testing::Literal;
using vuduzez::testing::Number;
using vuduzez::testing::RunCli;
using vuduzez::testing::Str;

// `vuduzez-cli key ARGS...`
CliRun RunKey(std::vector<std::string> args) {
  args.insert(args.begin(), "key");
  return RunCli(args);
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!text.empty() && text.back() == sep && sep != '\n') parts.emplace_back();
  return parts;
}

std::vector<std::string> Lines(const std::string& text) { return Split(text, '\n'); }

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// stderr holds exactly these messages in this order, one line each, as
// "<file>: <text>"; a file error may add more after its text (the path).
void ExpectMessages(const std::string& err,
                    const std::vector<std::pair<std::string, std::string>>& want) {
  const std::vector<std::string> lines = Lines(err);
  ASSERT_EQ(lines.size(), want.size()) << err;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_TRUE(StartsWith(lines[i], want[i].first + ": " + want[i].second))
        << lines[i] << "\nshould start with " << want[i].first << ": " << want[i].second;
  }
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::vector<std::string> SampleFiles() {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(kSampleDir)) {
    if (entry.path().extension() == ".mol") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A temporary folder, removed with everything in it after the test.
class CliKeyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vuduzez-cli-key-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    WriteBytes(path, bytes);
    return path.string();
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// The phenol of the bundled sample with another first header line.
std::string PhenolNamed(const std::string& header) {
  const std::string phenol = ReadBytes(kSampleDir + "phenol.mol");
  return header + phenol.substr(phenol.find('\r'));
}

// ------------------------------------------------------------------------
// Plain output on the bundled sample.

struct KnownKey {
  const char* file;
  const char* molname;
  const char* formula;
  const char* weight;
  const char* key;
};

TEST(CliKeySample, PlainLinesHoldFileNameFormulaWeightAndKey) {
  // These sample files are numbered atom by atom so that their keys are known.
  const std::vector<KnownKey> known = {
      {"benzene", "benzene", "C6H6", "78.11", "C@C@C@C@C@C@6"},
      {"phenol", "phenol", "C6H6O", "94.11", "C@C@C@C@C@C-O/O-C@C@C@C@C@C@6"},
      {"naphthalene", "naphthalene", "C10H8", "128.17",
       "C@C@C@C@C@C@C@C@C@C@6/C@C@C@C@C@C@C@C@C@C@10"},
      {"2_methylnaphthalene", "2_methylnaphthalene", "C11H10", "142.20",
       "C@C@C@C@C@C@C@C@C@C@6/C@C@C@C@C@C@C@C@C@C-C/C-C@C@C@C@C@C@6/C-C@C@C@C@C@C@C@C@6/"
       "C-C@C@C@C@C@C@C@C@C@C@10/C-C@C@C@C@C@C@C@C@C@6"},
      {"ethanol", "ethanol", "C2H6O", "46.07", "C-C-O/O-C-C"},
      {"acetic_acid", "acetic_acid", "C2H4O2", "60.05", "C-C=O/C-C-O/O=C-C/O=C-O/O-C-C/O-C=O"},
      {"cyclohexane", "cyclohexane", "C6H12", "84.16", "C-C-C-C-C-C-6"},
  };
  std::vector<std::string> args;
  for (const KnownKey& k : known) args.push_back(kSampleDir + k.file + ".mol");

  const CliRun run = RunKey(args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), known.size()) << run.out;
  for (size_t i = 0; i < known.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i], '\t');
    ASSERT_EQ(fields.size(), 5u) << lines[i];
    EXPECT_EQ(fields[0], args[i]);
    EXPECT_EQ(fields[1], known[i].molname);
    EXPECT_EQ(fields[2], known[i].formula) << known[i].file;
    EXPECT_EQ(fields[3], known[i].weight) << known[i].file;
    EXPECT_EQ(fields[4], known[i].key) << known[i].file;
  }
}

TEST(CliKeySample, EveryBundledFileGivesAKeyInBothOutputForms) {
  const std::vector<std::string> files = SampleFiles();
  ASSERT_GE(files.size(), 40u);

  const CliRun plain = RunKey(files);
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, "");
  const std::vector<std::string> lines = Lines(plain.out);
  ASSERT_EQ(lines.size(), files.size());

  std::vector<std::string> json_args = {"--json"};
  json_args.insert(json_args.end(), files.begin(), files.end());
  const CliRun json = RunKey(json_args);
  EXPECT_EQ(json.status, 0) << json.err;
  const std::vector<Json> objects = JsonLines(json.out);
  ASSERT_EQ(objects.size(), files.size());

  const std::regex weight_form(R"([0-9]+\.[0-9]{2})");
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    const std::vector<std::string> f = Split(lines[i], '\t');
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[0], files[i]);
    EXPECT_EQ(f[1], fs::path(files[i]).stem().string());  // header line is "<name>.mol"
    EXPECT_EQ(f[2].substr(0, 1), "C");
    EXPECT_TRUE(std::regex_match(f[3], weight_form)) << f[3];
    EXPECT_FALSE(f[4].empty());
    EXPECT_EQ(f[4].find("//"), std::string::npos);
    EXPECT_NE(f[4].front(), '/');
    EXPECT_NE(f[4].back(), '/');

    // --json says the same thing.
    const Json& o = objects[i];
    EXPECT_EQ(Str(o, "file"), f[0]);
    EXPECT_EQ(Str(o, "molname"), f[1]);
    EXPECT_EQ(Str(o, "formula"), f[2]);
    EXPECT_EQ(Number(o, "weight"), std::stod(f[3]));  // a JSON number
    EXPECT_EQ(Str(o, "key"), f[4]);
    EXPECT_EQ(Literal(o, "keyfail"), "false");
    EXPECT_EQ(o.count("error"), 0u);
  }
}

// The bundled files keep to the plain form every MOL reader takes: V2000, CR LF,
// Kekule bonds only, wedges only as stereo marks, within the table capacities.
TEST(CliKeySample, BundledFilesStayWithinWhatTheReaderTakes) {
  for (const std::string& file : SampleFiles()) {
    SCOPED_TRACE(file);
    const std::vector<std::string> lines = Split(ReadBytes(file), '\n');
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], fs::path(file).filename().string() + "\r");
    const std::string& counts = lines[3];
    ASSERT_GE(counts.size(), 39u);
    EXPECT_EQ(counts.substr(34, 5), "V2000");
    const int atoms = std::stoi(counts.substr(0, 3));
    const int bonds = std::stoi(counts.substr(3, 3));
    EXPECT_LE(atoms, 200);
    EXPECT_LE(bonds, 300);
    ASSERT_GE(lines.size(), static_cast<size_t>(4 + atoms + bonds));
    for (int j = 0; j < bonds; ++j) {
      const std::string& bond = lines[4 + atoms + j];
      ASSERT_GE(bond.size(), 12u);
      EXPECT_NE(std::string("123").find(bond[8]), std::string::npos) << bond;
      EXPECT_NE(std::string("016").find(bond[11]), std::string::npos) << bond;
    }
  }
}

TEST(CliKeySample, FormulaAndWeightFollowTheElementTable) {
  // Element order C H N Br Cl F I Li O P S Si Zn; oxygen after the halogens.
  const std::vector<std::array<const char*, 3>> expected = {
      {"chlorobenzene", "C6H5Cl", "112.56"},
      {"bromobenzene", "C6H5Br", "157.01"},
      {"fluorobenzene", "C6H5F", "96.10"},
      {"iodomethane", "CH3I", "141.94"},
      {"acetonitrile", "C2H3N", "41.05"},
      {"trifluoroacetic_acid", "C2HF3O2", "114.02"},
      {"dimethyl_sulfoxide", "C2H6OS", "78.13"},
      {"sulfanilamide", "C6H8N2O2S", "172.20"},
      {"triphenylphosphine", "C18H15P", "262.29"},
      {"tetramethylsilane", "C4H12Si", "88.22"},
      {"butyllithium", "C4H9Li", "64.06"},
      {"caffeine", "C8H10N4O2", "194.19"},
      // Charged nitro groups: the charge codes of the atom lines keep the
      // hydrogens off the O- atom.
      {"nitrobenzene", "C6H5NO2", "123.11"},
      {"chloramphenicol", "C11H12N2Cl2O5", "323.13"},
      {"cholesterol", "C27H46O", "386.65"},
      {"cyclosporin", "C62H111N11O12", "1202.61"},
  };
  std::vector<std::string> args = {"--json"};
  for (const auto& e : expected) args.push_back(kSampleDir + e[0] + ".mol");
  const CliRun run = RunKey(args);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<Json> objects = JsonLines(run.out);
  ASSERT_EQ(objects.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Str(objects[i], "formula"), expected[i][1]) << expected[i][0];
    EXPECT_EQ(Number(objects[i], "weight"), std::stod(expected[i][2])) << expected[i][0];
  }
}

// ------------------------------------------------------------------------
// Refused and failing files: reported on stderr, the run goes on.

// A V3000 file cut short after its counts.
const char kV3000Broken[] =
    "v3000.mol\n  test\n\n  0  0  0     0  0            999 V3000\n"
    "M  V30 BEGIN CTAB\nM  V30 COUNTS 1 0 0 0 0\nM  END\n";
const std::string kV3000Unreadable = "V3000 形式の MOL ファイルを読めません: ";

TEST_F(CliKeyFiles, RefusedFilesGetTheirMessageAndTheNextFileIsStillKeyed) {
  const std::string good1 = kSampleDir + "benzene.mol";
  const std::string text = Write("notes.txt", "These are my notes.\nNot a MOL file.\n");
  const std::string missing = Path("missing.mol");
  const std::string v3000 = Write("v3000.mol", kV3000Broken);
  const std::string lower = Write("lower.mol", PhenolNamed("lower.mol"));
  {
    // The same phenol with "v2000" in lower case is refused too.
    std::string bytes = ReadBytes(lower);
    bytes.replace(bytes.find("V2000"), 5, "v2000");
    WriteBytes(lower, bytes);
  }
  const std::string empty = Write("empty.mol", "");
  const std::string good2 = kSampleDir + "phenol.mol";

  const std::vector<std::string> files = {good1, text, missing, v3000, lower, empty, good2};
  const std::vector<std::pair<std::string, std::string>> expected_err = {
      {text, kNotV2000},  {missing, kFileNotFound}, {v3000, kV3000Unreadable},
      {lower, kNotV2000}, {empty, kNotV2000},
  };

  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), files.begin(), files.end());
  const CliRun json = RunKey(args);
  EXPECT_EQ(json.status, 1);
  ExpectMessages(json.err, expected_err);
  const std::vector<Json> objects = JsonLines(json.out);
  ASSERT_EQ(objects.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    EXPECT_EQ(Str(objects[i], "file"), files[i]);
    EXPECT_EQ(Literal(objects[i], "keyfail"), "false");
  }
  EXPECT_EQ(Str(objects[0], "key"), "C@C@C@C@C@C@6");
  EXPECT_EQ(objects[0].count("error"), 0u);
  EXPECT_EQ(Str(objects[1], "error"), kNotV2000);
  EXPECT_TRUE(StartsWith(Str(objects[2], "error"), kFileNotFound)) << Str(objects[2], "error");
  EXPECT_TRUE(StartsWith(Str(objects[3], "error"), kV3000Unreadable));
  EXPECT_EQ(Str(objects[4], "error"), kNotV2000);
  EXPECT_EQ(Str(objects[5], "error"), kNotV2000);
  for (size_t i = 1; i <= 5; ++i) EXPECT_EQ(Str(objects[i], "key"), "") << files[i];
  // A refused file leaves nothing behind for the next one.
  EXPECT_EQ(Str(objects[6], "molname"), "phenol");
  EXPECT_EQ(Str(objects[6], "formula"), "C6H6O");
  EXPECT_EQ(Str(objects[6], "key"), "C@C@C@C@C@C-O/O-C@C@C@C@C@C@6");
  EXPECT_EQ(objects[6].count("error"), 0u);

  // Plain output lists only the files that gave a key; the messages are the same.
  const CliRun plain = RunKey(files);
  EXPECT_EQ(plain.status, 1);
  ExpectMessages(plain.err, expected_err);
  const std::vector<std::string> lines = Lines(plain.out);
  ASSERT_EQ(lines.size(), 2u) << plain.out;
  EXPECT_EQ(Split(lines[0], '\t')[0], good1);
  EXPECT_EQ(Split(lines[1], '\t')[0], good2);
}

TEST_F(CliKeyFiles, OneMissingFileAloneGivesStatusOne) {
  const CliRun run = RunKey({Path("nothing-here.mol")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  ExpectMessages(run.err, {{Path("nothing-here.mol"), kFileNotFound}});
}

TEST_F(CliKeyFiles, MalformedFieldsAndCapacitiesAreRefusedWithoutStoppingTheRun) {
  const std::string head = "bad.mol\n  test\n\n";
  // x field that is not a number
  const std::string bad_x = Write(
      "bad_x.mol", head + "  2  1  0  0  0  0  0  0  0  0999 V2000\n" +
                       "       abc    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n" +
                       "    1.0000    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\n" +
                       "  1  2  1  0\nM  END\n");
  // more atoms than the tables hold
  const std::string too_many =
      Write("too_many.mol", head + "201  0  0  0  0  0  0  0  0  0999 V2000\nM  END\n");
  // a bond naming an atom that does not exist
  const std::string bad_bond =
      Write("bad_bond.mol",
            head + "  2  1  0  0  0  0  0  0  0  0999 V2000\n" +
                "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n" +
                "    1.0000    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\n" +
                "  1  9  1  0\nM  END\n");
  // the counts line promises more atoms than the file holds
  const std::string truncated =
      Write("truncated.mol",
            head + "  3  2  0  0  0  0  0  0  0  0999 V2000\n" +
                "    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n");
  const std::string good = kSampleDir + "ethanol.mol";

  const std::vector<std::string> bad = {bad_x, too_many, bad_bond, truncated};
  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), bad.begin(), bad.end());
  args.push_back(good);
  const CliRun run = RunKey(args);
  EXPECT_EQ(run.status, 1);
  const std::vector<Json> objects = JsonLines(run.out);
  ASSERT_EQ(objects.size(), bad.size() + 1);
  const std::vector<std::string> err = Lines(run.err);
  ASSERT_EQ(err.size(), bad.size()) << run.err;
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(bad[i]);
    const std::string error = Str(objects[i], "error");
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Str(objects[i], "key"), "");
    EXPECT_EQ(err[i], bad[i] + ": " + error);
  }
  EXPECT_NE(Str(objects[0], "error").find("abc"), std::string::npos);
  EXPECT_NE(Str(objects[0], "error").find("は浮動小数点数ではありません"), std::string::npos);
  // Each names the line the reader stopped at.
  EXPECT_EQ(Literal(objects[0], "line"), "5");
  EXPECT_EQ(Literal(objects[1], "line"), "4");
  EXPECT_EQ(Literal(objects[2], "line"), "7");
  EXPECT_EQ(Literal(objects[3], "line"), "6");
  EXPECT_EQ(objects[4].count("line"), 0u);
  EXPECT_EQ(Str(objects[4], "key"), "C-C-O/O-C-C");
  EXPECT_EQ(objects[4].count("error"), 0u);
}

// Eight fused six-rings in a row (34 atoms, 41 single bonds) hold far more
// than 10000 walks: the key gives up.
std::string FusedLadder(const std::string& name) {
  const int rings = 8;
  const int rail = 2 * rings + 1;  // atoms 1..rail on top, rail+1..2*rail below
  std::vector<std::pair<int, int>> bonds;
  for (int i = 1; i < rail; ++i) {
    bonds.emplace_back(i, i + 1);
    bonds.emplace_back(rail + i, rail + i + 1);
  }
  for (int i = 1; i <= rail; i += 2) bonds.emplace_back(i, rail + i);
  std::string mol = name + ".mol\r\n  test\r\n\r\n";
  char line[128];
  std::snprintf(line, sizeof line, "%3d%3d  0  0  0  0  0  0  0  0999 V2000\r\n", 2 * rail,
                static_cast<int>(bonds.size()));
  mol += line;
  for (int i = 0; i < 2 * rail; ++i) {
    std::snprintf(line, sizeof line,
                  "%10.4f%10.4f    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\r\n",
                  1.3 * (i % rail), i < rail ? 0.0 : -1.5);
    mol += line;
  }
  for (const auto& [a, b] : bonds) {
    std::snprintf(line, sizeof line, "%3d%3d  1  0\r\n", a, b);
    mol += line;
  }
  return mol + "M  END\r\n";
}

TEST_F(CliKeyFiles, AMoleculeWithTooManyWalksSetsKeyfail) {
  const std::string ladder = Write("ladder.mol", FusedLadder("ladder"));
  const std::string good = kSampleDir + "benzene.mol";

  const CliRun json = RunKey({"--json", ladder, good});
  EXPECT_EQ(json.status, 1);
  const std::vector<Json> objects = JsonLines(json.out);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(Str(objects[0], "molname"), "ladder");
  EXPECT_EQ(Literal(objects[0], "keyfail"), "true");
  EXPECT_EQ(Str(objects[0], "key"), "");
  EXPECT_NE(Str(objects[0], "error").find("は分子が大きすぎます"), std::string::npos);
  EXPECT_EQ(Literal(objects[1], "keyfail"), "false");
  EXPECT_EQ(Str(objects[1], "key"), "C@C@C@C@C@C@6");
  const std::vector<std::string> err = Lines(json.err);
  ASSERT_EQ(err.size(), 1u) << json.err;
  EXPECT_EQ(err[0], ladder + ": " + Str(objects[0], "error"));

  const CliRun plain = RunKey({ladder, good});
  EXPECT_EQ(plain.status, 1);
  ASSERT_EQ(Lines(plain.out).size(), 1u);
  EXPECT_EQ(Split(plain.out, '\t')[0], good);
}

// ------------------------------------------------------------------------
// What files and names may look like.

TEST_F(CliKeyFiles, LfAndCrLineEndsGiveTheSameResultAsCrLf) {
  const std::string crlf = kSampleDir + "phenol.mol";
  const std::string bytes = ReadBytes(crlf);
  std::string lf;
  std::string cr;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    lf += bytes[i];
    cr += bytes[i] == '\n' ? '\r' : bytes[i];
  }
  ASSERT_EQ(lf.find('\r'), std::string::npos);
  const std::vector<std::string> files = {crlf, Write("lf.mol", lf), Write("cr.mol", cr)};

  const CliRun run = RunKey(files);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u);
  const std::vector<std::string> want = {crlf, "phenol", "C6H6O", "94.11",
                                         "C@C@C@C@C@C-O/O-C@C@C@C@C@C@6"};
  for (size_t i = 0; i < files.size(); ++i) {
    std::vector<std::string> got = Split(lines[i], '\t');
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], files[i]);
    got[0] = crlf;
    EXPECT_EQ(got, want) << files[i];
  }
}

TEST_F(CliKeyFiles, JapaneseFileNamesAndCp932NamesComeOutAsUtf8) {
  // Header lines in CP932 as a Windows user's files hold them: "フェノール.mol"
  // and "ソーダ.mol" ("ソ" is 0x83 0x5C: its second byte is a backslash).
  const std::string phenol_cp932 = "\x83\x74\x83\x46\x83\x6d\x81\x5b\x83\x8b.mol";
  const std::string soda_cp932 = "\x83\x5c\x81\x5b\x83\x5f.mol";
  fs::create_directory(dir_ / "分子");
  const std::string phenol = Write("分子/フェノール.mol", PhenolNamed(phenol_cp932));
  const std::string soda = Write("分子/ソーダ.mol", PhenolNamed(soda_cp932));

  const CliRun plain = RunKey({phenol, soda});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, "");
  const std::vector<std::string> lines = Lines(plain.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Split(lines[0], '\t'), (std::vector<std::string>{phenol, "フェノール", "C6H6O", "94.11",
                                                             "C@C@C@C@C@C-O/O-C@C@C@C@C@C@6"}));
  EXPECT_EQ(Split(lines[1], '\t')[0], soda);
  EXPECT_EQ(Split(lines[1], '\t')[1], "ソーダ");

  const CliRun json = RunKey({"--json", phenol, soda});
  EXPECT_EQ(json.status, 0);
  const std::vector<Json> objects = JsonLines(json.out);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(Str(objects[0], "file"), phenol);
  EXPECT_EQ(Str(objects[0], "molname"), "フェノール");
  EXPECT_EQ(Str(objects[1], "file"), soda);
  EXPECT_EQ(Str(objects[1], "molname"), "ソーダ");

  // Messages about a Japanese file name carry that name as UTF-8.
  const std::string gone = Path("分子/ありません.mol");
  const CliRun missing = RunKey({gone});
  EXPECT_EQ(missing.status, 1);
  ExpectMessages(missing.err, {{gone, kFileNotFound}});
}

TEST_F(CliKeyFiles, QuotesBackslashesAndBlanksAreEscapedInJson) {
  const std::string odd = Write("a \"quoted\" \\ name.mol", PhenolNamed("say \"hi\"\\.mol"));
  const CliRun run = RunKey({"--json", odd});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<Json> objects = JsonLines(run.out);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(Str(objects[0], "file"), odd);
  EXPECT_EQ(Str(objects[0], "molname"), "say \"hi\"\\");
}

TEST_F(CliKeyFiles, AHeaderLineWithoutADotIsTheWholeName) {
  const std::string file = Write("nodot.mol", PhenolNamed("carbolic acid"));
  const CliRun run = RunKey({kSampleDir + "benzene.mol", file});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  // Not the previous file's name.
  EXPECT_EQ(Split(lines[1], '\t')[1], "carbolic acid");
}

// ------------------------------------------------------------------------
// Usage.

TEST(CliKeyUsage, BadUsageExitsWithTwoAndKeysNothing) {
  const std::string benzene = kSampleDir + "benzene.mol";
  const std::vector<std::vector<std::string>> bad = {
      {"key"},
      {"key", "--json"},
      {"key", "--frobnicate", benzene},
      {"key", benzene, "-x"},
  };
  for (const auto& args : bad) {
    std::string shown;
    for (const std::string& a : args) shown += a + " ";
    SCOPED_TRACE(shown);
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("vuduzez-cli key"), std::string::npos) << run.err;
  }
}

}  // namespace
