// Real vuduzez-cli processes on shared databases: running at the same time,
// and killed at random moments. Checks what is in the files afterwards, never
// how long anything took.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "database/chains.h"
#include "database/database.h"
#include "database/record_store.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace vuduzez {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// Starts a program in folder; stdout and stderr go to the files given.
// Locks are waited for long enough never to time out on a busy machine.
pid_t StartProgram(const std::string& folder, std::vector<std::string> all, const std::string& out,
                   const std::string& err,
                   const std::vector<std::pair<std::string, std::string>>& env = {}) {
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int n = ::open("/dev/null", O_RDWR);
    if (::chdir(folder.c_str()) != 0 || o < 0 || e < 0 || n < 0) ::_exit(127);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::dup2(n, 0);
    ::setenv("VUDUZEZ_LOCK_WAIT", "120", 1);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// Starts vuduzez-cli in folder; stdout goes to out (when given), stderr is
// dropped.
pid_t Start(const std::string& folder, const std::vector<std::string>& args,
            const std::string& out = "/dev/null",
            const std::vector<std::pair<std::string, std::string>>& env = {}) {
  std::vector<std::string> all{VUDUZEZ_CLI};
  all.insert(all.end(), args.begin(), args.end());
  return StartProgram(folder, all, out, "/dev/null", env);
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunCli(const std::string& folder, const std::vector<std::string>& args) {
  return testing::RunCli(args, testing::InFolder(folder, {}, {{"VUDUZEZ_LOCK_WAIT", "120"}}))
      .status;
}

std::string SampleMol(int i) {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> f;
    for (const auto& e : fs::directory_iterator(fs::path(VUDUZEZ_SOURCE_DIR) / "sample/mol")) {
      f.push_back(e.path().string());
    }
    std::sort(f.begin(), f.end());
    return f;
  }();
  return ReadFile(files[static_cast<size_t>(i) % files.size()]);
}

// A folder of count MOL files named prefix0.mol, prefix1.mol, ...
std::set<std::string> MakeMolFolder(const std::string& folder, const std::string& prefix,
                                    int count) {
  fs::create_directories(folder);
  std::set<std::string> names;
  for (int i = 0; i < count; ++i) {
    const std::string name = prefix + std::to_string(i) + ".mol";
    WriteFile(folder + "/" + name, SampleMol(i));
    names.insert(name);
  }
  return names;
}

// Name lines of a database that must end with whole records.
std::multiset<std::string> WholeNames(const std::string& db) {
  std::multiset<std::string> names;
  const std::string text = ReadFile(db);
  const RecordScan scan =
      ScanRecords(text, 0, 1, [&](std::string_view n) { names.insert(Trim(n)); });
  EXPECT_FALSE(scan.damage.has_value()) << db << " record " << scan.damage->record;
  return names;
}

// The names a register run reported as registered (its stdout).
std::set<std::string> Registered(const std::string& out) {
  std::set<std::string> names;
  std::istringstream in(ReadFile(out));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("registered\t", 0) == 0) names.insert(line.substr(11));
  }
  return names;
}

std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename().string().find(".vuduzez-new-") != std::string::npos) {
      found.push_back(e.path().filename().string());
    }
  }
  return found;
}

TEST(Concurrency, RegistersDeletesAndRewritesOnOneDatabase) {
  TempFolder ws;
  const std::string db = ws / "db.txt";
  WriteFile(db, "");
  const std::set<std::string> doomed = MakeMolFolder(ws / "pre", "doomed", 12);
  const std::set<std::string> kept = MakeMolFolder(ws / "pre", "kept", 12);
  ASSERT_EQ(RunCli(ws.path(), {"register", "--db", "db.txt", "pre"}), 0);
  const std::set<std::string> shared = MakeMolFolder(ws / "shared", "shared", 40);
  const std::set<std::string> own = MakeMolFolder(ws / "own", "own", 40);

  // Three runs register the same folder, a fourth its own, while pairs of
  // deletes of different names and rewrites follow one another.
  std::vector<pid_t> registers;
  for (int i = 0; i < 3; ++i) {
    registers.push_back(Start(ws.path(), {"register", "--db", "db.txt", "shared"},
                              ws / ("shared" + std::to_string(i) + ".out")));
  }
  registers.push_back(Start(ws.path(), {"register", "--db", "db.txt", "own"}, ws / "own.out"));
  for (auto it = doomed.begin(); it != doomed.end();) {
    const pid_t a = Start(ws.path(), {"delete", "--db", "db.txt", *it++});
    const pid_t b = Start(ws.path(), {"delete", "--db", "db.txt", *it++});
    const pid_t c = Start(ws.path(), {"rewrite", "--db", "db.txt"});
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
    EXPECT_EQ(Wait(c), 0);
  }
  for (pid_t p : registers) EXPECT_EQ(Wait(p), 0);

  std::multiset<std::string> expected(kept.begin(), kept.end());
  for (int i = 0; i < 3; ++i) {
    for (const std::string& n : Registered(ws / ("shared" + std::to_string(i) + ".out"))) {
      expected.insert(n);  // a name reported by two runs would show twice here
    }
  }
  EXPECT_EQ(Registered(ws / "own.out"), own);
  expected.insert(own.begin(), own.end());
  const std::multiset<std::string> stored = WholeNames(db);
  EXPECT_EQ(stored, expected);
  for (const std::string& n : shared) EXPECT_EQ(stored.count(n), 1u) << n;
  for (const std::string& n : doomed) EXPECT_EQ(stored.count(n), 0u) << n;
  EXPECT_TRUE(Leftovers(ws.path()).empty());
}

TEST(Concurrency, DeletesOnTwoDatabasesSharingAScratchFolder) {
  TempFolder ws;
  fs::create_directory(ws / "tmp");
  const std::vector<std::pair<std::string, std::string>> env{{"TMP", ws / "tmp"},
                                                             {"TMPDIR", ws / "tmp"}};
  std::map<std::string, std::set<std::string>> names;
  for (const std::string db : {"one.txt", "two.txt"}) {
    WriteFile(ws / db, "");
    names[db] = MakeMolFolder(ws / db + ".mols", db.substr(0, 3), 16);
    ASSERT_EQ(RunCli(ws.path(), {"register", "--db", db, db + ".mols"}), 0);
  }
  auto one = names["one.txt"].begin();
  auto two = names["two.txt"].begin();
  std::set<std::string> deleted;
  for (int round = 0; round < 8; ++round) {
    const pid_t a = Start(ws.path(), {"delete", "--db", "one.txt", *one}, "/dev/null", env);
    const pid_t b = Start(ws.path(), {"delete", "--db", "two.txt", *two}, "/dev/null", env);
    deleted.insert(*one++);
    deleted.insert(*two++);
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
  }
  for (const auto& [db, all] : names) {
    std::multiset<std::string> expected;
    for (const std::string& n : all) {
      if (!deleted.count(n)) expected.insert(n);
    }
    EXPECT_EQ(WholeNames(ws / db), expected) << db;
  }
  EXPECT_TRUE(fs::is_empty(ws / "tmp"));
}

// Whether strace can stop a process at a system call of our choosing here.
bool StraceWorks() {
  return std::system("strace -qq -o /dev/null -e trace=none true >/dev/null 2>&1") == 0;
}

// A register run killed by the kernel as it removes its append note: its
// record is whole in the file, and the note stays.
int RegisterKilledAtNoteRemoval(const std::string& ws, const std::string& folder) {
  const std::string note = "db.txt.vuduzez-append." + std::to_string(::geteuid());
  // The first unlink of the note clears any old one; the second removes it.
  return Wait(StartProgram(
      ws,
      {"strace", "-f", "-qq", "-o", "/dev/null", "-P", note, "-e", "trace=unlink", "-e",
       "inject=unlink:signal=KILL:when=2", VUDUZEZ_CLI, "register", "--db", "db.txt", folder},
      "/dev/null", "/dev/null"));
}

TEST(KilledAppend, ThenAnotherProgramsChangeThenARegisterLosesNothingAndTellsTheTruth) {
  if (!StraceWorks()) GTEST_SKIP() << "strace cannot stop processes here";
  TempFolder ws;
  const std::string db = ws / "db.txt";
  const std::string note = db + ".vuduzez-append." + std::to_string(::geteuid());
  MakeMolFolder(ws / "killed", "killed", 1);
  MakeMolFolder(ws / "next", "next", 1);
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  // Whole records up to 30 bytes before a page ends: the killed record
  // crosses into the next page inside its key line.
  const std::string filler = "filler.mol\r\n100.00\r\nC7H8\r\nC-C-C@C@C@C@C@C@6/C-C@C@C@C@6\r\n";
  std::string head;
  while (head.size() + filler.size() < page - 30 - filler.size()) head += filler;
  head +=
      "last.mol\r\n100.00\r\nC7H8\r\n" + std::string(page - 30 - head.size() - 26, 'C') + "\r\n";
  ASSERT_EQ(head.size(), page - 30);

  const std::string other = "other.mol\r\n16.04\r\nCH4\r\nC\r\n\r\n";  // and a blank line
  struct Scenario {
    const char* what;
    bool partial;  // the kill stopped the write at the page's end
    std::function<void()> other;
    bool cut;          // the killed run's bytes are taken back
    int registerExit;  // 0: registered; 1: refused, nothing changed
  };
  const std::vector<Scenario> scenarios = {
      {"killed part-way, nothing else", true, [] {}, true, 0},
      {"killed after writing it all, then another program's append with a blank line", false,
       [&] { WriteFile(db, ReadFile(db) + other); }, false, 0},
      {"killed part-way, then another program's append with a blank line", true,
       [&] { WriteFile(db, ReadFile(db) + other); }, false, 0},
      {"killed part-way, then an edit in place that inserts a record", true,
       [&] {
         const std::string text = ReadFile(db);
         const int fd = ::open(db.c_str(), O_WRONLY);
         const std::string edited = filler + other + text;
         ASSERT_EQ(::pwrite(fd, edited.data(), edited.size(), 0),
                   static_cast<ssize_t>(edited.size()));
         ::close(fd);
       },
       false, 1},
      {"killed part-way, then an editor's save into the same file that mends the record", true,
       [&] { WriteFile(db, ReadFile(db) + "\r\n"); }, false, 0},
  };
  for (const Scenario& sc : scenarios) {
    SCOPED_TRACE(sc.what);
    WriteFile(db, head);
    ASSERT_EQ(RegisterKilledAtNoteRemoval(ws.path(), "killed"), 128 + SIGKILL);
    ASSERT_TRUE(fs::exists(note));
    const std::string killedText = ReadFile(db);
    ASSERT_GT(killedText.size(), page);
    // What the kernel leaves when the kill stops the write at a page's end.
    if (sc.partial) fs::resize_file(db, page);
    sc.other();
    const std::string before = ReadFile(db);

    const int exit = Wait(StartProgram(
        ws.path(), {VUDUZEZ_CLI, "register", "--db", "db.txt", "next"}, ws / "out", ws / "err"));
    const std::string after = ReadFile(db);
    const std::string err = ReadFile(ws / "err");
    EXPECT_EQ(exit, sc.registerExit) << err;
    EXPECT_FALSE(fs::exists(note));
    const std::string kept = sc.cut ? head : before;
    EXPECT_EQ(err.find("取り除きました") != std::string::npos, sc.cut) << err;
    if (sc.registerExit == 0) {
      EXPECT_EQ(Registered(ws / "out"), std::set<std::string>{"next0.mol"});
      ASSERT_GT(after.size(), kept.size());
      EXPECT_EQ(after.substr(0, kept.size()), kept);
      const std::vector<CompoundRecord> added = ParseRecords(after.substr(kept.size()));
      ASSERT_EQ(added.size(), 1u);
      EXPECT_EQ(added[0].name, "next0.mol");
    } else {
      EXPECT_EQ(after, before);
      EXPECT_TRUE(Registered(ws / "out").empty());
      EXPECT_NE(err.find("何も変更しませんでした"), std::string::npos) << err;
    }
  }
}

// A database large enough that writing its replacement takes a while.
std::string BigDatabase(int records) {
  std::string text;
  for (int r = 0; r < records; ++r) {
    char name[32];
    std::snprintf(name, sizeof name, "r%05d.mol", r);
    text += std::string(name) + "\r\n100.00\r\nC10\r\n";
    for (int k = 0; k < 12; ++k) text += "C-C-C-C-C@C@C@C@N-O/";
    text += "\r\n";
  }
  return text;
}

std::string Rewritten(const std::string& text) {
  std::string out;
  LineReader reader(text);
  while (!reader.AtEnd()) out += AbbreviateChains(std::string(reader.Next())) + "\r\n";
  return out;
}

TEST(Crash, KilledAtRandomMomentsTheDatabaseStaysWhole) {
  // Fewer under the sanitizers, where every run is several times slower.
#if defined(__SANITIZE_ADDRESS__)
  int trials = 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  int trials = 8;
#else
  int trials = 24;
#endif
#else
  int trials = 24;
#endif
  if (const char* v = std::getenv("VUDUZEZ_CRASH_TRIALS")) trials = std::max(1, std::atoi(v));
  TempFolder ws;
  const std::string db = ws / "db.txt";
  WriteFile(db, BigDatabase(2000));
  std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());

  enum Op { kRegister, kDelete, kRewrite };
  auto command = [&](Op op, int trial) -> std::vector<std::string> {
    switch (op) {
      case kRegister: {
        const std::string folder = "mols" + std::to_string(trial);
        MakeMolFolder(ws / folder, "t" + std::to_string(trial) + "_", 10);
        return {"register", "--db", "db.txt", folder};
      }
      case kDelete: {
        const auto names = WholeNames(db);
        auto it = names.begin();
        std::advance(it, random() % names.size());
        return {"delete", "--db", "db.txt", *it};
      }
      case kRewrite:
        return {"rewrite", "--db", "db.txt"};
    }
    return {};
  };
  // How long each command runs when left alone: the kills fall inside that.
  std::map<Op, long> micros;
  for (Op op : {kRegister, kDelete, kRewrite}) {
    const auto start = std::chrono::steady_clock::now();
    RunCli(ws.path(), command(op, -1 - op));
    micros[op] = std::max<long>(1000, std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
  }

  int interrupted = 0, leftovers = 0;
  for (int trial = 0; trial < trials; ++trial) {
    const Op op = static_cast<Op>(random() % 3);
    const std::vector<std::string> args = command(op, trial);
    const std::string before = ReadFile(db);
    const pid_t pid = Start(ws.path(), args);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (micros[op] * 6 / 5)));
    ::kill(pid, SIGKILL);
    interrupted += Wait(pid) == 128 + SIGKILL;

    // Whole records only, and either the old content or the new.
    SCOPED_TRACE("trial " + std::to_string(trial) + ": " + args[0]);
    const std::string after = ReadFile(db);
    const std::multiset<std::string> names = WholeNames(db);
    if (op == kRegister) {
      EXPECT_EQ(after.substr(0, before.size()), before);
      for (const std::string& n : names) EXPECT_EQ(names.count(n), 1u) << n;
    } else if (op == kDelete) {
      std::multiset<std::string> old;
      ScanRecords(before, 0, 1, [&](std::string_view n) { old.insert(Trim(n)); });
      if (after != before) {
        old.erase(args.back());
        EXPECT_EQ(names, old);
      }
    } else if (after != before) {
      EXPECT_EQ(after, Rewritten(before));
    }
    if (!Leftovers(ws.path()).empty()) {
      // The next change clears what the killed replacement left.
      ++leftovers;
      EXPECT_EQ(RunCli(ws.path(), {"delete", "--db", "db.txt", "absent.mol"}), 1);
      EXPECT_EQ(Leftovers(ws.path()), std::vector<std::string>{});
    }
  }
  std::cout << interrupted << " of " << trials << " runs killed, " << leftovers
            << " left a replacement file behind\n";
}

}  // namespace
}  // namespace vuduzez
