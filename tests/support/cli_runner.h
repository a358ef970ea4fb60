// Runs the built vuduzez-cli as a user would: in a folder, with bytes on its
// standard input and variables added to its environment, both output streams
// kept apart. Every test that starts the program uses this one runner.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace vuduzez::testing {

struct CliResult {
  int status = -1;  // exit status, 128 + signal when killed
  std::string out;
  std::string err;
};

struct CliOptions {
  std::string folder;  // working folder ("" keeps the test's)
  std::string input;   // standard input (empty: at its end at once)
  std::vector<std::pair<std::string, std::string>> env;  // added or replaced
  int timeoutSeconds = 120;  // then the program is killed and the test fails
};

// Options for a run in a folder, with standard input and variables.
inline CliOptions InFolder(std::string folder, std::string input = {},
                           std::vector<std::pair<std::string, std::string>> env = {}) {
  CliOptions o;
  o.folder = std::move(folder);
  o.input = std::move(input);
  o.env = std::move(env);
  return o;
}

// The lines of a text, without their LF.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Starts program (VUDUZEZ_CLI unless named) with the arguments and waits for it.
inline CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const CliOptions& options = {}) {
  CliResult run;
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe2 failed";
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  if (!options.folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  }

  std::vector<std::string> argText = {program};
  argText.insert(argText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argText) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& [n, v] : options.env) replaced = replaced || n == name;
    if (!replaced) envText.push_back(entry);
  }
  for (const auto& [n, v] : options.env) envText.push_back(n + "=" + v);
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int spawned =
      ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(spawned);
    return run;
  }

  // Input written and both outputs drained together, so that no side blocks another.
  ::signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  int inFd = in[1];
  if (options.input.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  bool killed = false;
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (::poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[65536];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t n =
          ::write(fds[2].fd, options.input.data() + written, options.input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == options.input.size()) {
        ::close(fds[2].fd);
        fds[2].fd = -1;
      }
    }
  }
  for (const pollfd& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  if (killed) ADD_FAILURE() << program << " ran longer than " << options.timeoutSeconds << " s";
  return run;
}

// vuduzez-cli ARGS...
inline CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {}) {
  return RunProgram(VUDUZEZ_CLI, args, options);
}

}  // namespace vuduzez::testing
