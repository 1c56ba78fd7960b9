// The "logs" commands: the report logs of the alert store.
#include <charconv>
#include <string>

#include "alerts/mod_alert.h"
#include "command.h"
#include "service/log/system_log.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"logs", "write and read the report logs of the alert store"};

int StoreUnusable(const Command& self, Io& io) {
  return Report(io, self,
                "the alert store " + alerts::AlertDatabasePath() + " cannot be used (details in " +
                    service::SystemLogPath() + ")",
                kExitFailure);
}

int Write(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.size() != 3) {
    return UsageError(io, self, parsed.positional.size() < 3 ? "too few arguments" : "too many arguments");
  }
  const std::string& text = parsed.positional[1];
  int severity = -1;
  auto [end, parse_error] = std::from_chars(text.data(), text.data() + text.size(), severity);
  if (parse_error != std::errc() || end != text.data() + text.size() || severity < 0 || severity > 255) {
    return UsageError(io, self, "SEVERITY must be a whole number from 0 to 255");
  }
  if (!alerts::CheckIMDBObject()) return StoreUnusable(self, io);
  alerts::WriteLogEntry(parsed.positional[0], static_cast<uint8_t>(severity), parsed.positional[2]);
  return kExitOk;
}

int Privacy(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {}, &parsed, &error)) return UsageError(io, self, error);
  if (!parsed.positional.empty()) return UsageError(io, self, "too many arguments");
  if (!alerts::CheckIMDBObject()) return StoreUnusable(self, io);
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
    .run = [](const Arguments& args, Io& io) { return Write(*FindCommand("logs", "write"), args, io); },
}};

const CommandRegistration kPrivacy{{
    .group = "logs",
    .name = "privacy",
    .arguments = "",
    .summary = "print the Privacy log: date time, severity, message",
    .details = "One entry a line, oldest first: the local date and time, a TAB, the severity, a TAB, the\n"
               "message. Nothing is printed when the log is empty.",
    .run = [](const Arguments& args, Io& io) { return Privacy(*FindCommand("logs", "privacy"), args, io); },
}};

}  // namespace
}  // namespace hearthctl
