// The "settings" commands: the stored settings files as their XML snapshot,
// and single settings read and written: through the running service on the
// bus, or through the settings classes on the files while it is not running.
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "bus_client.h"
#include "command.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "service/host/lock/instance_lock.h"
#include "service_probe.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/stored_snapshot.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"settings", "look at the stored settings collections"};

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
      return Report(io, self, "no settings file for " + SettingsOwnerText(owner) + " (" + snapshot.path + ")", kExitFailure);
    case settings::StoredSnapshot::Status::kDamaged:
      break;
  }
  return Report(io, self,
                "the settings file for " + SettingsOwnerText(owner) + " is damaged: " + snapshot.path +
                    " (a wrong checksum, too short, or not a settings snapshot for this owner)",
                kExitFailure);
}

int DamagedFile(Io& io, const Command& self, const std::string& owner, const settings::StoredSnapshot& snapshot) {
  return Report(io, self,
                "the settings file for " + SettingsOwnerText(owner) + " is damaged: " + snapshot.path +
                    " (a wrong checksum, too short, or not a settings snapshot for this owner); nothing changed",
                kExitFailure);
}

// Whether hearthd runs on the root. When it does not, `lock` holds the
// root's instance lock for the rest of the command, so that it does not
// start meanwhile and store over the file. Nullopt after reporting.
std::optional<ServiceState> ProbeService(Io& io, const Command& self, service::InstanceLock& lock) {
  std::string error;
  const std::optional<ServiceState> state = ProbeRootService(&lock, &error);
  if (!state) Report(io, self, error, kExitFailure);
  return state;
}

// One setting of a stored collection's file.
int GetFromFile(const Command& self, const std::string& name, const std::string& owner, Io& io) {
  const settings::StoredSnapshot snapshot = settings::ReadStoredSnapshot(owner);
  if (snapshot.status == settings::StoredSnapshot::Status::kMissing) {
    return Report(io, self, "no settings file for " + SettingsOwnerText(owner) + " (" + snapshot.path + ")", kExitFailure);
  }
  if (snapshot.status == settings::StoredSnapshot::Status::kDamaged) return DamagedFile(io, self, owner, snapshot);
  settings::cSettings collection;
  collection.CreateSnapshotFromString(snapshot.xml);
  // A name without a dot belongs to the collection's namespace.
  const std::string full = platform::LCase(name.find('.') == std::string::npos ? collection.Namespace() + "." + name
                                                                               : name);
  if (!collection.Exists(full)) {
    return Report(io, self, "no setting " + name + " in " + SettingsOwnerText(owner), kExitFailure);
  }
  const platform::Variant value = collection.GetValue(name);
  io.out << platform::CStr(value) << "\n";
  return kExitOk;
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
  const std::optional<ServiceState> state = ProbeService(io, self, lock);
  if (!state) return kExitFailure;
  const auto from_file = [&] { return GetFromFile(self, name, owner, io); };
  if (*state == ServiceState::kRunning) return GetSettingViaService(self, name, owner, io, from_file);
  return from_file();
}

// One setting written into a stored collection's file, as the service would.
int SetInFile(const Command& self, const std::string& name, const platform::Variant& value, const std::string& owner,
              Io& io) {
  const settings::StoredSnapshot snapshot = settings::ReadStoredSnapshot(owner);
  if (snapshot.status == settings::StoredSnapshot::Status::kDamaged) return DamagedFile(io, self, owner, snapshot);
  settings::cSettings collection;
  if (snapshot.status == settings::StoredSnapshot::Status::kOk) collection.CreateSnapshotFromString(snapshot.xml);
  try {
    collection.SetValue(name, value);
  } catch (const platform::BasicError& error) {
    // A name or value no settings file could hold; the file is left alone.
    return Report(io, self, error.description(), kExitFailure);
  }
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
  const std::optional<ServiceState> state = ProbeService(io, self, lock);
  if (!state) return kExitFailure;
  if (*state == ServiceState::kRunning) return SetSettingViaService(self, name, value, owner, io);
  return SetInFile(self, name, value, owner, io);
}

const CommandRegistration kGet{{
    .group = "settings",
    .name = "get",
    .arguments = "NAME [--user SID]",
    .summary = "print one setting",
    .details = "Prints the setting's value as text: of the system collection, or with --user SID of that user's\n"
               "('*': the guest profile). While hearthd runs on the root, the value in its memory, asked over\n"
               "the system bus (a user it has not loaded: that user's stored file); otherwise the stored file.\n"
               "Exit 1 when the file or the setting is missing, the file is damaged, or hearthd runs but cannot\n"
               "be reached on the bus.",
    .run = Get,
}};

const CommandRegistration kSet{{
    .group = "settings",
    .name = "set",
    .arguments = "NAME VALUE [--user SID] [--type bool|long|string]",
    .summary = "write one setting",
    .details = "While hearthd runs on the root: sets the value in its collection over the system bus and calls\n"
               "Application.SettingsChanged(true), so the service stores the file and tells its plug-ins (a\n"
               "user it has not loaded is refused: stop it first). Otherwise: loads the collection's file (a\n"
               "missing file starts an empty collection), sets the setting and stores the file again, as the\n"
               "service would; a damaged file is refused and left untouched. TYPE: string (default), bool\n"
               "(true|false) or long (a 32-bit whole number). Example, so that a fresh install shows its\n"
               "features:\n"
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
