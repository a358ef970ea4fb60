// vuduzez-cli: subcommands register themselves here; each lives in its own file.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "platform/message_sink.h"

namespace vuduzez::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Command {
  const char* name;
  const char* usage;  // one line, after "vuduzez-cli "
  int (*run)(const std::vector<std::string>& args);
  // What `COMMAND --help` prints below the usage line: the options, one a line.
  const char* details = "";
};

// Called from a static initialiser in each subcommand's file.
bool RegisterCommand(const Command& command);

// Prints the usage of one command (or all) to stderr and returns kExitUsage:
// the answer to bad usage.
int Usage(const char* command = nullptr);

// Prints the help of one command (usage and options), or of all, to stdout and
// returns kExitOk: the answer to --help.
int Help(const char* command = nullptr);

// Whether args ask for help: "--help" or "-h" before a "--".
bool AsksForHelp(const std::vector<std::string>& args);

// Messages of the system, one line each: on stderr, or on stdout for the
// commands whose message is their result (delete, rewrite).
class StderrSink : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
};
class StdoutSink : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { std::cout << text << '\n'; }
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }
};

// Removes "--name VALUE" or "--name=VALUE" from args and gives its value
// (the last one wins); false when the value is missing.
inline bool TakeOption(std::vector<std::string>& args, const std::string& name,
                       std::string& value) {
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") break;
    if (args[i] == name) {
      if (i + 1 >= args.size()) return false;
      value = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    } else if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  return true;
}

// Removes every "--name" from args; true when there was one.
inline bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  bool found = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") break;
    if (args[i] == name) {
      args.erase(args.begin() + static_cast<long>(i));
      found = true;
    } else {
      ++i;
    }
  }
  return found;
}

// "--name=VALUE" for an option whose value is an argument of its own
// ("--smiles SMILES..."): becomes "--name" followed by "VALUE".
inline void SplitAttachedValue(std::vector<std::string>& args, const std::string& name) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") break;
    if (args[i].rfind(name + "=", 0) == 0) {
      std::string value = args[i].substr(name.size() + 1);
      args[i] = name;
      args.insert(args.begin() + static_cast<long>(i) + 1, std::move(value));
      ++i;
    }
  }
}

}  // namespace vuduzez::cli
