// The command table of hearthctl. Each group of commands ("reg", "settings",
// ...) lives in a file of its own that registers itself at start-up:
//
//   namespace {
//   const hearthctl::GroupRegistration kGroup{"reg", "read and write the registry hive"};
//   const hearthctl::CommandRegistration kGet{{
//       .group = "reg", .name = "get", .arguments = "KEY NAME",
//       .summary = "print the data of a value",
//       .run = [](const hearthctl::Command& self, const hearthctl::Arguments& args, hearthctl::Io& io) {
//         ... return hearthctl::kExitOk; }}};
//   }
//
// main.cpp parses the global options, finds the command and runs it; a new
// group never touches it. A group that needs more libraries lists them in a
// <group>.cmake beside its file (target_link_libraries(hearthctl PRIVATE ...)).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace hearthctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the request failed (missing key or value, I/O ...)
inline constexpr int kExitUsage = 2;    // the command line was wrong

// The arguments after the command name, global options already removed.
using Arguments = std::vector<std::string>;

struct Io {
  std::ostream& out;
  std::ostream& err;
};

struct Command {
  std::string group;      // "reg"
  std::string name;       // "get"
  std::string arguments;  // usage after the name: "KEY NAME"
  std::string summary;    // one line for --help
  std::string details;    // more lines for "COMMAND --help" (may be empty)
  // Runs the command; `self` is this entry, for usage and error texts.
  std::function<int(const Command& self, const Arguments&, Io&)> run;
};

struct Group {
  std::string name;
  std::string summary;  // one line for --help
  std::string notes;    // lines shown under the group's commands (may be empty)
};

void RegisterCommand(Command command);
void RegisterGroup(Group group);

// In registration order within each group; groups sorted by name.
std::vector<const Command*> Commands();
const Group* FindGroup(const std::string& name);
const Command* FindCommand(const std::string& group, const std::string& name);

// "usage: hearthctl reg get KEY NAME"
std::string UsageLine(const Command& command);

// `text` filled into lines of at most `columns` characters, the first led by
// `first`, the others by `rest`, each ended by a newline. Lines break only at
// blanks outside brackets; a word longer than a line stands on its own.
std::string Wrap(const std::string& text, const std::string& first, const std::string& rest, size_t columns);

// Writes "hearthctl reg get: <message>" to err and returns `exit_code`.
int Report(Io& io, const Command& command, const std::string& message, int exit_code);
// The same with the usage line after the message, returning kExitUsage.
int UsageError(Io& io, const Command& command, const std::string& message);

// A command's own options and its positional arguments. Options are words
// starting with "--": those named in `with_value` take the next argument,
// those in `flags` none; "--" ends the options.
struct ParsedArguments {
  std::vector<std::pair<std::string, std::string>> options;  // in the order given
  std::vector<std::string> positional;
  // The value of the last such option, or `fallback`.
  std::string Option(const std::string& name, const std::string& fallback = {}) const;
  bool Has(const std::string& name) const;
};
// False with `*error` set for an unknown option or one missing its value.
bool ParseArguments(const Arguments& args, const std::vector<std::string>& flags,
                    const std::vector<std::string>& with_value, ParsedArguments* parsed, std::string* error);
// ParseArguments (no flags) for a command that takes `min` to `max` positional
// arguments. False after reporting what is wrong, with *exit_code kExitUsage.
bool ParseCommandArguments(const Command& self, const Arguments& args, size_t min, size_t max,
                           const std::vector<std::string>& with_value, ParsedArguments* parsed, Io& io,
                           int* exit_code);

// The decimal whole number `text` from `min` to `max` (no sign but "-", no
// spaces); nullopt for anything else.
std::optional<long long> WholeNumber(const std::string& text, long long min, long long max);

struct CommandRegistration {
  explicit CommandRegistration(Command command) { RegisterCommand(std::move(command)); }
};
struct GroupRegistration {
  GroupRegistration(std::string name, std::string summary, std::string notes = {}) {
    RegisterGroup({std::move(name), std::move(summary), std::move(notes)});
  }
};

}  // namespace hearthctl
