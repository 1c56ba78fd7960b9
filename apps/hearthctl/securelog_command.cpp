// The "securelog" commands: the secure report logs, read without changing
// them (no entry is marked read).
#include <string>

#include "command.h"
#include "platform/fs/folders.h"
#include "settings/folders/folders.h"
#include "support/securelog/secure_log_file.h"
#include "support/securelog/secure_log_reading.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"securelog", "read and verify the secure report logs"};

std::string Folder() {
  return support::SecureLogFolder(platform::fs::JoinPath(settings::GetCommonFilesFolder(), "Norvale/QORC/prf"));
}

int List(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  for (const std::string& name : support::SecureLogNames(Folder())) {
    support::SecureLogInspection log = support::InspectSecureLog(Folder(), name);
    io.out << name << "\t" << log.entries.size() << " entries\t" << (log.entries.size() - log.read) << " unread\t"
           << (log.problems.empty() ? "verifies" : "DOES NOT VERIFY") << "\n";
  }
  return kExitOk;
}

bool Inspected(const Command& self, const std::string& name, Io& io, support::SecureLogInspection* log,
               int* exit_code) {
  *log = support::InspectSecureLog(Folder(), name);
  if (log->exists) return true;
  *exit_code = Report(io, self, "no secure log named '" + name + "' in " + Folder(), kExitFailure);
  return false;
}

int Show(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--all"}, {}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.size() != 1) return UsageError(io, self, "give one log NAME");
  support::SecureLogInspection log;
  int exit_code = kExitOk;
  if (!Inspected(self, parsed.positional[0], io, &log, &exit_code)) return exit_code;
  for (size_t i = parsed.Has("--all") ? 0 : log.read; i < log.entries.size(); ++i) io.out << log.entries[i] << "\n";
  for (const std::string& problem : log.problems) io.err << "warning: the log does not verify: " << problem << "\n";
  return kExitOk;
}

int Verify(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  support::SecureLogInspection log;
  if (!Inspected(self, parsed.positional[0], io, &log, &exit_code)) return exit_code;
  if (log.problems.empty()) {
    io.out << "secure log '" << log.name << "': " << log.entries.size() << " entries, the chain verifies\n";
    return kExitOk;
  }
  for (const std::string& problem : log.problems) {
    io.out << "secure log '" << log.name << "' does not verify: " << problem << "\n";
  }
  return kExitFailure;
}

const CommandRegistration kList{{
    .group = "securelog",
    .name = "list",
    .arguments = "",
    .summary = "list the secure logs: name, entries, unread entries, whether the chain verifies",
    .details = "Names are shown in lower case (they compare without regard to case).",
    .run = List,
}};

const CommandRegistration kShow{{
    .group = "securelog",
    .name = "show",
    .arguments = "NAME [--all]",
    .summary = "print the unread entries of a log (every entry with --all), one a line",
    .details = "Nothing is marked read. A log that does not verify is still shown, with a warning on stderr.\n"
               "Exit 1 when there is no such log.",
    .run = Show,
}};

const CommandRegistration kVerify{{
    .group = "securelog",
    .name = "verify",
    .arguments = "NAME",
    .summary = "check the log's keyed hash chain; exit 1 and say what is wrong when it does not verify",
    .details = "Finds entries edited, removed, reordered or added by hand, a torn or damaged end, an edited\n"
               "state file, and entries removed from the end since the last sync.",
    .run = Verify,
}};

}  // namespace
}  // namespace hearthctl
