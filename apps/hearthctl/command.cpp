#include "command.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <string_view>

namespace hearthctl {
namespace {

// Function-local statics: registrations run from other files' static
// initialisers, in no fixed order.
std::vector<Command>& CommandTable() {
  static std::vector<Command> table;
  return table;
}
std::map<std::string, Group>& GroupTable() {
  static std::map<std::string, Group> table;
  return table;
}

}  // namespace

void RegisterCommand(Command command) { CommandTable().push_back(std::move(command)); }

void RegisterGroup(Group group) {
  std::string name = group.name;
  GroupTable()[name] = std::move(group);
}

std::vector<const Command*> Commands() {
  std::vector<const Command*> commands;
  for (const Command& command : CommandTable()) commands.push_back(&command);
  std::stable_sort(commands.begin(), commands.end(),
                   [](const Command* a, const Command* b) { return a->group < b->group; });
  return commands;
}

const Group* FindGroup(const std::string& name) {
  auto found = GroupTable().find(name);
  if (found != GroupTable().end()) return &found->second;
  // A group that registered commands but no description still exists.
  for (const Command& command : CommandTable()) {
    if (command.group == name) {
      GroupTable()[name] = Group{name, "", ""};
      return &GroupTable()[name];
    }
  }
  return nullptr;
}

const Command* FindCommand(const std::string& group, const std::string& name) {
  for (const Command& command : CommandTable()) {
    if (command.group == group && command.name == name) return &command;
  }
  return nullptr;
}

std::string UsageLine(const Command& command) {
  std::string line = "usage: hearthctl " + command.group + (command.name.empty() ? "" : " " + command.name);
  if (!command.arguments.empty()) line += " " + command.arguments;
  return line;
}

std::string Wrap(const std::string& text, const std::string& first, const std::string& rest, size_t columns) {
  std::string out;
  std::string line = first;
  bool empty = true;  // the line holds no word yet
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = text.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    // A bracketed option ("[--type TYPE]") is one word.
    size_t end = start;
    for (int depth = 0; end < text.size() && (depth > 0 || text[end] != ' '); ++end) {
      if (text[end] == '[') ++depth;
      if (text[end] == ']' && depth > 0) --depth;
    }
    const std::string_view word(text.data() + start, end - start);
    if (!empty && line.size() + 1 + word.size() > columns) {
      out += line + "\n";
      line = rest;
      empty = true;
    }
    if (!empty) line += ' ';
    line += word;
    empty = false;
    at = end;
  }
  return out + line + "\n";
}

int Report(Io& io, const Command& command, const std::string& message, int exit_code) {
  io.err << "hearthctl " << command.group << (command.name.empty() ? "" : " " + command.name) << ": " << message
         << "\n";
  return exit_code;
}

int UsageError(Io& io, const Command& command, const std::string& message) {
  Report(io, command, message, kExitUsage);
  io.err << UsageLine(command) << "\n";
  return kExitUsage;
}

std::string ParsedArguments::Option(const std::string& name, const std::string& fallback) const {
  std::string value = fallback;
  for (const auto& [option, option_value] : options) {
    if (option == name) value = option_value;
  }
  return value;
}

bool ParsedArguments::Has(const std::string& name) const {
  return std::any_of(options.begin(), options.end(), [&](const auto& option) { return option.first == name; });
}

bool ParseArguments(const Arguments& args, const std::vector<std::string>& flags,
                    const std::vector<std::string>& with_value, ParsedArguments* parsed, std::string* error) {
  auto listed = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.rfind("--", 0) != 0) {
      parsed->positional.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (listed(flags, arg)) {
      parsed->options.emplace_back(arg, "");
    } else if (listed(with_value, arg)) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      parsed->options.emplace_back(arg, args[++i]);
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

bool ParseCommandArguments(const Command& self, const Arguments& args, size_t min, size_t max,
                           const std::vector<std::string>& with_value, ParsedArguments* parsed, Io& io,
                           int* exit_code) {
  std::string error;
  if (!ParseArguments(args, {}, with_value, parsed, &error)) {
    *exit_code = UsageError(io, self, error);
    return false;
  }
  const size_t count = parsed->positional.size();
  if (count < min || count > max) {
    *exit_code = UsageError(io, self, count < min ? "too few arguments" : "too many arguments");
    return false;
  }
  return true;
}

std::optional<long long> WholeNumber(const std::string& text, long long min, long long max) {
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace hearthctl
