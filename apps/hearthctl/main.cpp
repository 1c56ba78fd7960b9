// hearthctl: the administration tool. Global options, help, and dispatch to
// the commands the group files registered (command.h).
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "platform/root/machine_root.h"

namespace {

using hearthctl::Command;
using hearthctl::kExitOk;
using hearthctl::kExitUsage;

// Help is read on an 80-column terminal: each command's usage on a line of
// its own (a long one going on, indented, on the next), its description
// below, indented further and wrapped.
constexpr size_t kColumns = 80;

std::string CommandColumn(const Command& command) {
  std::string text = command.group + (command.name.empty() ? "" : " " + command.name);
  if (!command.arguments.empty()) text += " " + command.arguments;
  return text;
}

void PrintCommandEntry(const Command& command, std::ostream& out) {
  out << hearthctl::Wrap(CommandColumn(command), "  ", "    ", kColumns)
      << hearthctl::Wrap(command.summary, "      ", "      ", kColumns);
}

void PrintHelp(std::ostream& out) {
  out << "usage: hearthctl [--root DIR] COMMAND [ARGUMENTS...]\n"
         "\n"
         "Administration tool of the hearth system service.\n"
         "\n"
         "Options:\n"
         "  --root DIR   the machine root (default: $HEARTH_ROOT, else /var/lib/hearth)\n"
         "  --help       this text; COMMAND --help tells about one command\n";
  std::string group;
  for (const Command* command : hearthctl::Commands()) {
    if (command->group != group) {
      group = command->group;
      const hearthctl::Group* info = hearthctl::FindGroup(group);
      const bool summary = info != nullptr && !info->summary.empty();
      out << "\n" << hearthctl::Wrap(group + (summary ? ": " + info->summary : ""), "", "  ", kColumns);
    }
    PrintCommandEntry(*command, out);
  }
  out << "\nExit status: 0 done, 1 failed, 2 bad usage.\n";
}

void PrintGroupHelp(const hearthctl::Group& group, std::ostream& out) {
  out << "usage: hearthctl [--root DIR] " << group.name << " COMMAND [ARGUMENTS...]\n";
  if (!group.summary.empty()) out << "\n" << hearthctl::Wrap(group.summary, "", "", kColumns);
  out << "\n";
  for (const Command* command : hearthctl::Commands()) {
    if (command->group == group.name) PrintCommandEntry(*command, out);
  }
  if (!group.notes.empty()) out << "\n" << group.notes << "\n";
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
  out << hearthctl::UsageLine(command) << "\n\n" << hearthctl::Wrap(command.summary, "", "", kColumns);
  if (!command.details.empty()) out << "\n" << command.details << "\n";
  const hearthctl::Group* group = hearthctl::FindGroup(command.group);
  if (group != nullptr && !group->notes.empty()) out << "\n" << group->notes << "\n";
}

int Usage(const std::string& message) {
  std::cerr << "hearthctl: " << message << "\n"
            << "usage: hearthctl [--root DIR] COMMAND [ARGUMENTS...]; hearthctl --help lists the commands\n";
  return kExitUsage;
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  size_t at = 0;
  // Global options come before the command.
  while (at < args.size() && args[at].rfind("-", 0) == 0) {
    const std::string& option = args[at];
    if (option == "--help" || option == "-h") {
      PrintHelp(std::cout);
      return kExitOk;
    }
    if (option == "--root" || option.rfind("--root=", 0) == 0) {
      std::string root;
      if (option == "--root") {
        if (at + 1 >= args.size()) return Usage("--root needs a folder");
        root = args[++at];
      } else {
        root = option.substr(7);
      }
      if (root.empty()) return Usage("--root needs a folder");
      platform::SetMachineRoot(root);
      ++at;
      continue;
    }
    if (option == "--") {
      ++at;
      break;
    }
    return Usage("unknown option " + option);
  }
  if (at >= args.size()) return Usage("no command given");

  const std::string& group_name = args[at++];
  const hearthctl::Group* group = hearthctl::FindGroup(group_name);
  if (group == nullptr) return Usage("unknown command " + group_name);
  // A group that is one command by itself ("monitor") takes what follows as
  // its arguments.
  const Command* whole_group = hearthctl::FindCommand(group_name, "");
  if (whole_group == nullptr && (at >= args.size() || args[at] == "--help" || args[at] == "-h")) {
    bool asked = at < args.size();
    PrintGroupHelp(*group, asked ? std::cout : std::cerr);
    return asked ? kExitOk : kExitUsage;
  }
  const std::string name = whole_group != nullptr ? std::string() : args[at++];
  const Command* command = whole_group != nullptr ? whole_group : hearthctl::FindCommand(group_name, name);
  if (command == nullptr) return Usage("unknown command " + group_name + " " + name);

  hearthctl::Arguments rest(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
  for (const std::string& arg : rest) {
    if (arg == "--") break;  // what follows is data, even "--help"
    if (arg == "--help" || arg == "-h") {
      PrintCommandHelp(*command, std::cout);
      return kExitOk;
    }
  }
  hearthctl::Io io{std::cout, std::cerr};
  return command->run(*command, rest, io);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    int code = Run(argc, argv);
    std::cout.flush();
    return code;
  } catch (const std::exception& error) {
    std::cerr << "hearthctl: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "hearthctl: unexpected failure\n";
  }
  return hearthctl::kExitFailure;
}
