// The "securelog" commands: the secure report logs, read without changing
// them (no entry is marked read), and their sealing.
#include <optional>
#include <string>
#include <string_view>

#include "command.h"
#include "platform/fs/folders.h"
#include "settings/folders/folders.h"
#include "support/securelog/secure_log_file.h"
#include "support/securelog/machine_key.h"
#include "support/securelog/seal_keys.h"
#include "support/securelog/secure_log_reading.h"
#include "support/securelog/verify_findings.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"securelog", "read, verify and seal the secure report logs"};

std::string Folder() {
  return support::SecureLogFolder(platform::fs::JoinPath(settings::GetCommonFilesFolder(), "Norvale/QORC/prf"));
}

int List(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  for (const std::string& name : support::SecureLogNames(Folder())) {
    support::SecureLogInspection log = support::InspectSecureLog(Folder(), name);
    io.out << name << "\t" << log.entries << " entries\t" << (log.entries - log.read) << " unread\t"
           << (log.problems.empty() ? "verifies" : "DOES NOT VERIFY") << "\n";
  }
  return kExitOk;
}

bool Inspected(const Command& self, const std::string& name, Io& io, support::SecureLogInspection* log,
               int* exit_code, support::EntriesWanted wanted = support::EntriesWanted::kNone) {
  *log = support::InspectSecureLog(Folder(), name, {}, wanted,
                                   [&io](std::string_view entry) { io.out << entry << "\n"; });
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
  if (!Inspected(self, parsed.positional[0], io, &log, &exit_code,
                 parsed.Has("--all") ? support::EntriesWanted::kAll : support::EntriesWanted::kUnread)) {
    return exit_code;
  }
  for (const std::string& problem : log.problems) io.err << "warning: the log does not verify: " << problem << "\n";
  return kExitOk;
}

int Verify(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {"--verification-key"}, &parsed, io, &exit_code)) return exit_code;
  std::optional<support::securelog::VerificationKey> verification;
  if (parsed.Has("--verification-key")) {
    verification = support::securelog::ParseVerificationKey(parsed.Option("--verification-key"));
    if (!verification) return UsageError(io, self, "the verification key is not one setup-keys printed");
  }
  support::SecureLogInspection log;
  log = support::InspectSecureLog(Folder(), parsed.positional[0], {}, support::EntriesWanted::kNone, {},
                                    verification ? &*verification : nullptr);
  if (!log.exists) {
    return Report(io, self, "no secure log named '" + parsed.positional[0] + "' in " + Folder(), kExitFailure);
  }
  for (const std::string& line : support::VerifyFindings(log, verification.has_value())) io.out << line << "\n";
  return log.problems.empty() ? kExitOk : kExitFailure;
}

int SetUpKeys(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--force"}, {}, &parsed, &error)) return UsageError(io, self, error);
  if (!parsed.positional.empty()) return UsageError(io, self, "setup-keys takes no NAME");
  const std::string key_path = support::securelog::MachineKeyPath();
  const uint64_t interval = support::securelog::ConfiguredSealInterval();
  support::securelog::VerificationKey key;
  try {
    key = support::securelog::SetUpSealing(support::securelog::SealingStatePath(key_path), interval,
                                           support::securelog::SealClockNow(), parsed.Has("--force"));
  } catch (const std::exception& failure) {
    return Report(io, self, failure.what(), kExitFailure);
  }
  io.out << "Sealing is set up: every " << interval << " seconds each secure log is sealed and the key moves on.\n"
         << "The verification key below is shown once and is not kept on this machine. Keep it elsewhere;\n"
         << "\"hearthctl securelog verify NAME --verification-key KEY\" proves the sealed part of a log with it.\n\n"
         << support::securelog::VerificationKeyText(key) << "\n";
  return kExitOk;
}

int Seal(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  try {
    const std::string key_path = support::securelog::MachineKeyPath();
    if (!support::securelog::ReadSealingState(support::securelog::SealingStatePath(key_path))) {
      return Report(io, self, "sealing is not set up (run \"hearthctl securelog setup-keys\")", kExitFailure);
    }
    support::securelog::AdvanceSealing(Folder(), key_path, support::securelog::SealClockNow());
  } catch (const std::exception& failure) {
    return Report(io, self, failure.what(), kExitFailure);
  }
  return kExitOk;
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
    .arguments = "NAME [--verification-key KEY]",
    .summary = "check the log's keyed hash chain and its seals; exit 1 and say what is wrong when it does not verify",
    .details =
        "Reads the whole log and checks, with the machine's secure log key:\n"
        "  - every entry's keyed hash: an entry edited, removed from the middle, reordered or added by\n"
        "    hand, or the log copied over another log's name;\n"
        "  - damage: a damaged header or record (entries after it that still verify are counted), and\n"
        "    a torn last record (a tail being written is looked at again under the log's lock);\n"
        "  - the state file (read marks) against the mark records in the log: a state file that is\n"
        "    missing, edited, put back from earlier or from another generation, and mark records\n"
        "    removed; and what the service found and kept aside earlier (it never overwrites one);\n"
        "  - entries removed from the end after they were synced or marked read, also down to an\n"
        "    empty file or a bare header.\n"
        "  - with --verification-key (from setup-keys): every seal with its epoch's key, that the seals\n"
        "    follow each other without a gap, and that the last one hands over to the epoch the machine\n"
        "    holds now; the entries up to the last seal are then proven even against someone who holds\n"
        "    the machine's keys now. It says up to which time the log is sealed.\n"
        "It cannot see: entries cut from the end before any sync or read mark (nothing outside the\n"
        "file knows of them); the log and its state file both put back to an earlier copy, or a\n"
        "whole log removed; logs written before mark records existed lack the state file checks; and,\n"
        "without sealing (or after the last seal), anything done by someone holding the machine key,\n"
        "who can rewrite the log whole.\n"
        "Exit 0 when the log verifies, 1 when it does not or does not exist.",
    .run = Verify,
}};

const CommandRegistration kSetUpKeys{{
    .group = "securelog",
    .name = "setup-keys",
    .arguments = "[--force]",
    .summary = "start sealing the secure logs and print the verification key, once",
    .details = "Epochs last SecureLogSealInterval of machine.conf (seconds, or with \"s\", \"min\", \"h\"; 15 minutes\n"
               "by default). At the end of each the service seals every log with that epoch's key and keeps\n"
               "only the next one. The verification key is printed once and not kept on this machine.\n"
               "--force replaces sealing already set up (seals made before then need the old key).",
    .run = SetUpKeys,
}};

const CommandRegistration kSeal{{
    .group = "securelog",
    .name = "seal",
    .arguments = "",
    .summary = "seal the secure logs now when the epoch has ended (for a timer on an idle machine)",
    .details = "The service does this on its own at the end of each epoch; exit 1 when sealing is not set up.",
    .run = Seal,
}};

}  // namespace
}  // namespace hearthctl
