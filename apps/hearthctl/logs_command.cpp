// The "logs" commands: the report logs of the alert store.
#include <optional>
#include <string>

#include "alert_store.h"
#include "alerts/mod_alert.h"
#include "command.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"logs", "write and read the report logs of the alert store"};

int Write(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 3, 3, {}, &parsed, io, &exit_code)) return exit_code;
  std::optional<long long> severity = WholeNumber(parsed.positional[1], 0, 255);
  if (!severity) return UsageError(io, self, "SEVERITY must be a whole number from 0 to 255");
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  alerts::WriteLogEntry(parsed.positional[0], static_cast<uint8_t>(*severity), parsed.positional[2]);
  return kExitOk;
}

int Privacy(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  std::string report = alerts::GetPrivacyReport();
  if (report.empty()) return kExitOk;
  // Entries are joined by the character 1: one a line here.
  for (char& c : report) {
    if (c == '\x01') c = '\n';
  }
  io.out << report << "\n";
  return kExitOk;
}

const CommandRegistration kWrite{{
    .group = "logs",
    .name = "write",
    .arguments = "NAME SEVERITY MESSAGE",
    .summary = "add an entry to a report log",
    .details = "SEVERITY is 0 to 255; the entry is stamped with the current local time. The log \"Privacy\"\n"
               "is the one \"logs privacy\" reports.",
    .run = Write,
}};

const CommandRegistration kPrivacy{{
    .group = "logs",
    .name = "privacy",
    .arguments = "",
    .summary = "print the Privacy log: date time, severity, message",
    .details = "One entry a line, oldest first: the local date and time, a TAB, the severity, a TAB, the\n"
               "message. Nothing is printed when the log is empty.",
    .run = Privacy,
}};

}  // namespace
}  // namespace hearthctl
