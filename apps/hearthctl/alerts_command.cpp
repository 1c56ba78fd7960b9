// The "alerts" commands: post, list, show and delete alerts of the alert
// store, and export it. They read the root's "imdb.bin" directly, with or
// without the service running; while it runs, post and delete go through
// it, so its clients hear of the change.
#include <optional>
#include <string>

#include "alert_store.h"
#include "alerts/mod_alert.h"
#include "command.h"
#include "platform/root/machine_root.h"
#include "systemlog/system_log.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"alerts", "post, list and remove alerts in the alert store",
                               "Times are shown in UTC, the date in the order of the machine's\n"
                               "\"ShortDatePattern\" (machine.conf; default M/d/yyyy)."};

struct AlertFields {
  uint8_t severity = 0;
  std::string summary, description, alert_id, action_ids, tag;
  bool user_proc = false, sys_proc = false;
  platform::Variant time;
};

bool ReadAlert(int32_t index, AlertFields* fields) {
  return alerts::GetAlert(index, fields->severity, fields->summary, fields->description, fields->alert_id,
                          fields->action_ids, fields->user_proc, fields->time, fields->sys_proc, fields->tag);
}

std::string TimeText(const platform::Variant& time) { return time.IsString() ? time.StringValue() : ""; }

std::optional<int32_t> IndexArgument(const Command& self, const std::string& text, Io& io, int* exit_code) {
  std::optional<long long> index = WholeNumber(text, 1, INT32_MAX);
  if (!index) {
    *exit_code = UsageError(io, self, "INDEX must be a whole number from 1: \"" + text + "\"");
    return std::nullopt;
  }
  return static_cast<int32_t>(*index);
}

int Post(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 4, 4, {"--id"}, &parsed, io, &exit_code)) return exit_code;
  std::optional<long long> severity = WholeNumber(parsed.positional[1], 0, 255);
  if (!severity) return UsageError(io, self, "SEVERITY must be a whole number from 0 to 255");
  int32_t index = 0;
  std::string error;
  const std::optional<bool> via_service = PostAlertViaService(
      parsed.positional[0], static_cast<uint8_t>(*severity), parsed.positional[2], parsed.positional[3],
      parsed.Option("--id"), &index, &error);
  if (via_service) {
    if (!*via_service) return Report(io, self, "the alert was not stored: " + error, kExitFailure);
    io.out << index << "\n";
    return kExitOk;
  }
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  double when = alerts::kNoEventTime;
  if (!alerts::PostAlert(parsed.positional[0], static_cast<uint8_t>(*severity), parsed.positional[2],
                         parsed.positional[3], parsed.Option("--id"), "", false, index, false, when, "")) {
    return Report(io, self, "the alert was not stored (details in " + service::SystemLogPath() + ")", kExitFailure);
  }
  io.out << index << "\n";
  return kExitOk;
}

int List(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  platform::Variant indices;
  int32_t count = alerts::GetAlertIndicesAll(parsed.positional[0], indices);
  for (int32_t i = 1; i <= count; ++i) {
    int32_t index = indices.Element(i).LongValue();
    AlertFields fields;
    if (!ReadAlert(index, &fields)) continue;  // removed meanwhile
    io.out << index << "\t" << TimeText(fields.time) << "\t" << static_cast<int>(fields.severity) << "\t"
           << fields.summary << "\n";
  }
  return kExitOk;
}

int Show(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  std::optional<int32_t> index = IndexArgument(self, parsed.positional[0], io, &exit_code);
  if (!index) return exit_code;
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  AlertFields fields;
  if (!ReadAlert(*index, &fields)) return Report(io, self, "no alert " + parsed.positional[0], kExitFailure);
  io.out << "Index:       " << *index << "\n"
         << "Time (UTC):  " << TimeText(fields.time) << "\n"
         << "Severity:    " << static_cast<int>(fields.severity) << "\n"
         << "Summary:     " << fields.summary << "\n"
         << "Description: " << fields.description << "\n"
         << "AlertID:     " << fields.alert_id << "\n"
         << "ActionIDs:   " << fields.action_ids << "\n"
         << "UserProc:    " << (fields.user_proc ? "True" : "False") << "\n"
         << "SysProc:     " << (fields.sys_proc ? "True" : "False") << "\n"
         << "Tag:         " << fields.tag << "\n";
  return kExitOk;
}

int Delete(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  std::optional<int32_t> index = IndexArgument(self, parsed.positional[0], io, &exit_code);
  if (!index) return exit_code;
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  AlertFields fields;
  if (!ReadAlert(*index, &fields)) return Report(io, self, "no alert " + parsed.positional[0], kExitFailure);
  std::string error;
  const std::optional<bool> via_service = DeleteAlertViaService(*index, &error);
  if (via_service && !*via_service) return Report(io, self, "the alert was not deleted: " + error, kExitFailure);
  if (!via_service && !alerts::DeleteAlert(*index)) return Report(io, self, "the alert was not deleted", kExitFailure);
  return kExitOk;
}

int Dump(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  if (!AlertStoreUsable(self, io, &exit_code)) return exit_code;
  alerts::DumpAlertStore();
  bool all = true;
  for (const char* table : {"Alerts", "LogEntries", "LogSettings"}) {
    for (const char* extension : {".csv", ".txt"}) {
      std::filesystem::path file = platform::MachineRoot() / (std::string(table) + extension);
      std::error_code ignored;
      if (std::filesystem::exists(file, ignored)) {
        io.out << file.string() << "\n";
      } else {
        all = false;
      }
    }
  }
  if (!all) return Report(io, self, "not every table could be written", kExitFailure);
  return kExitOk;
}

const CommandRegistration kPost{{
    .group = "alerts",
    .name = "post",
    .arguments = "STORE SEVERITY SUMMARY DESCRIPTION [--id ALERTID]",
    .summary = "add an alert to a store and print its index",
    .details = "SEVERITY is 0 to 255. The alert is stamped with the current time; ALERTID (default empty)\n"
               "names the kind of alert. While hearthd runs on the root the alert is posted through it\n"
               "(IoPostAlert), so its clients hear of it; otherwise it is written to the store directly.",
    .run = Post,
}};

const CommandRegistration kList{{
    .group = "alerts",
    .name = "list",
    .arguments = "STORE",
    .summary = "print a store's alerts: index, time, severity, summary",
    .details = "One alert a line, the fields separated by a TAB, newest time text first.",
    .run = List,
}};

const CommandRegistration kShow{{
    .group = "alerts",
    .name = "show",
    .arguments = "INDEX",
    .summary = "print every field of one alert",
    .details = "Exit 1 when there is no such alert.",
    .run = Show,
}};

const CommandRegistration kDelete{{
    .group = "alerts",
    .name = "delete",
    .arguments = "INDEX",
    .summary = "remove one alert",
    .details = "Exit 1 when there is no such alert. While hearthd runs on the root the alert is deleted\n"
               "through it (IoDeleteAlert), so its clients hear of it.",
    .run = Delete,
}};

const CommandRegistration kDump{{
    .group = "alerts",
    .name = "dump",
    .arguments = "",
    .summary = "export the alert and log tables as text files at the root",
    .details = "Writes <root>/Alerts.csv, LogEntries.csv, LogSettings.csv (comma-separated) and the same\n"
               "names with .txt (bar-separated), each with a first line of column names, and prints them.",
    .run = Dump,
}};

}  // namespace
}  // namespace hearthctl
