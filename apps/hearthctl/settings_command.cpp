// The "settings" commands: the stored settings files as their XML snapshot,
// and single settings read and written through the settings classes while
// the service is not running.
#include <filesystem>
#include <string>
#include <system_error>

#include "command.h"
#include "platform/basic/conversions.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "service/host/control_protocol.h"
#include "service/host/lock/instance_lock.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/stored_snapshot.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"settings", "look at the stored settings collections"};

std::string OwnerText(const std::string& owner) {
  if (owner.empty()) return "the system collection";
  if (owner == "*") return "the guest profile";
  return "user " + owner;
}

int Dump(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {"--user"}, &parsed, &error)) return UsageError(io, self, error);
  if (!parsed.positional.empty()) return UsageError(io, self, "too many arguments");
  const std::string owner = parsed.Option("--user");
  if (parsed.Has("--user") && owner.empty()) return UsageError(io, self, "--user needs a SID (or * for the guest)");

  // Reading leaves no trace in the service's log, not even for a damaged file.
  service::SetSystemLogSilenced(true);
  const settings::StoredSnapshot snapshot = settings::ReadStoredSnapshot(owner);
  switch (snapshot.status) {
    case settings::StoredSnapshot::Status::kOk:
      io.out << snapshot.xml << "\n";
      return kExitOk;
    case settings::StoredSnapshot::Status::kMissing:
      return Report(io, self, "no settings file for " + OwnerText(owner) + " (" + snapshot.path + ")", kExitFailure);
    case settings::StoredSnapshot::Status::kDamaged:
      break;
  }
  return Report(io, self,
                "the settings file for " + OwnerText(owner) + " is damaged: " + snapshot.path +
                    " (a wrong checksum, too short, or not a settings snapshot for this owner)",
                kExitFailure);
}

int DamagedFile(Io& io, const Command& self, const std::string& owner, const settings::StoredSnapshot& snapshot) {
  return Report(io, self,
                "the settings file for " + OwnerText(owner) + " is damaged: " + snapshot.path +
                    " (a wrong checksum, too short, or not a settings snapshot for this owner); nothing changed",
                kExitFailure);
}

// Holds the service's instance lock for the command, so that the service
// neither runs now nor starts meanwhile. False after reporting.
bool ServiceStopped(Io& io, const Command& self, service::InstanceLock& lock) {
  std::string error;
  std::error_code code;
  std::filesystem::create_directories(service::control::RunFolder(), code);
  switch (lock.Acquire(service::control::LockPath().string(), &error)) {
    case service::InstanceLock::Result::kAcquired: return true;
    case service::InstanceLock::Result::kHeldElsewhere:
      Report(io, self,
             "hearthd is running on " + platform::MachineRoot().string() +
                 ": its settings are in its memory and it would overwrite the file; stop it first "
                 "(hearthctl service stop) and try again",
             kExitFailure);
      return false;
    case service::InstanceLock::Result::kFailed: break;
  }
  Report(io, self, "cannot tell whether hearthd is running: " + error, kExitFailure);
  return false;
}

int Get(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {"--user"}, &parsed, io, &exit_code)) return exit_code;
  const std::string name = parsed.positional[0];
  const std::string owner = parsed.Option("--user");
  if (parsed.Has("--user") && owner.empty()) return UsageError(io, self, "--user needs a SID (or * for the guest)");
  service::SetSystemLogSilenced(true);
  service::InstanceLock lock;
  if (!ServiceStopped(io, self, lock)) return kExitFailure;

  const settings::StoredSnapshot snapshot = settings::ReadStoredSnapshot(owner);
  if (snapshot.status == settings::StoredSnapshot::Status::kMissing) {
    return Report(io, self, "no settings file for " + OwnerText(owner) + " (" + snapshot.path + ")", kExitFailure);
  }
  if (snapshot.status == settings::StoredSnapshot::Status::kDamaged) return DamagedFile(io, self, owner, snapshot);
  settings::cSettings collection;
  collection.CreateSnapshotFromString(snapshot.xml);
  // A name without a dot belongs to the collection's namespace.
  const std::string full = platform::LCase(name.find('.') == std::string::npos ? collection.Namespace() + "." + name
                                                                               : name);
  if (!collection.Exists(full)) {
    return Report(io, self, "no setting " + name + " in " + OwnerText(owner), kExitFailure);
  }
  const platform::Variant value = collection.GetValue(name);
  io.out << platform::CStr(value) << "\n";
  return kExitOk;
}

int Set(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 2, 2, {"--user", "--type"}, &parsed, io, &exit_code)) return exit_code;
  const std::string name = parsed.positional[0];
  const std::string text = parsed.positional[1];
  const std::string owner = parsed.Option("--user");
  const std::string type = parsed.Option("--type", "string");
  if (parsed.Has("--user") && owner.empty()) return UsageError(io, self, "--user needs a SID (or * for the guest)");
  if (name.empty()) return UsageError(io, self, "the setting name is empty");
  platform::Variant value;
  if (type == "string") {
    value = platform::Variant(text);
  } else if (type == "bool") {
    const std::string lower = platform::LCase(text);
    if (lower != "true" && lower != "false") return UsageError(io, self, "a bool is true or false");
    value = platform::Variant(lower == "true");
  } else if (type == "long") {
    const std::optional<long long> number = WholeNumber(text, INT32_MIN, INT32_MAX);
    if (!number) return UsageError(io, self, "a long is a whole number from -2147483648 to 2147483647");
    value = platform::Variant(static_cast<int32_t>(*number));
  } else {
    return UsageError(io, self, "--type is bool, long or string");
  }
  service::InstanceLock lock;
  if (!ServiceStopped(io, self, lock)) return kExitFailure;

  const settings::StoredSnapshot snapshot = settings::ReadStoredSnapshot(owner);
  if (snapshot.status == settings::StoredSnapshot::Status::kDamaged) return DamagedFile(io, self, owner, snapshot);
  settings::cSettings collection;
  if (snapshot.status == settings::StoredSnapshot::Status::kOk) collection.CreateSnapshotFromString(snapshot.xml);
  collection.SetValue(name, value);
  collection.WriteSnapshotToStored(owner);

  // The store reports nothing to its caller: read the file back to know.
  const settings::StoredSnapshot written = settings::ReadStoredSnapshot(owner);
  settings::cSettings check;
  if (written.status == settings::StoredSnapshot::Status::kOk) check.CreateSnapshotFromString(written.xml);
  if (written.status != settings::StoredSnapshot::Status::kOk ||
      platform::CStr(check.GetValue(name)) != platform::CStr(value)) {
    return Report(io, self, "the settings file " + written.path + " could not be written (see the system log)",
                  kExitFailure);
  }
  return kExitOk;
}

const CommandRegistration kGet{{
    .group = "settings",
    .name = "get",
    .arguments = "NAME [--user SID]",
    .summary = "print one stored setting (the service must not be running)",
    .details = "Reads the system collection's file, or with --user SID that user's ('*': the guest profile), and\n"
               "prints the setting's value as text. Exit 1 when the file or the setting is missing, the file is\n"
               "damaged, or hearthd is running on the root (its settings are in its memory).",
    .run = Get,
}};

const CommandRegistration kSet{{
    .group = "settings",
    .name = "set",
    .arguments = "NAME VALUE [--user SID] [--type bool|long|string]",
    .summary = "write one stored setting (the service must not be running)",
    .details = "Loads the collection's file (a missing file starts an empty collection), sets the setting and\n"
               "stores the file again, as the service would. TYPE: string (default), bool (true|false) or\n"
               "long (a 32-bit whole number). A damaged file is refused and left untouched. Exit 1 while\n"
               "hearthd runs on the root. Example, so that a fresh install shows its features:\n"
               "  hearthctl settings set features.allowed AF",
    .run = Set,
}};

const CommandRegistration kDump{{
    .group = "settings",
    .name = "dump",
    .arguments = "[--user SID]",
    .summary = "print a stored settings file as its XML snapshot",
    .details = "Without --user: the system collection's file. --user SID: that user's file; --user '*': the\n"
               "guest profile's. Nothing on disk is changed. Exit 1 when the file is missing or damaged.",
    .run = Dump,
}};

}  // namespace
}  // namespace hearthctl
