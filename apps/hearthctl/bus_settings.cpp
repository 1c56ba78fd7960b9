// "hearthctl settings get|set" while hearthd runs: the value lives in the
// service's memory, so the command asks the service's collections on the
// bus; a set is announced with Application.SettingsChanged(fDoPersist), as
// any client does, so the service stores the file and tells its plug-ins.
#include <functional>
#include <optional>
#include <string>

#include "bus/bus_names.h"
#include "bus/call_error.h"
#include "bus/variant_codec.h"
#include "bus_client.h"
#include "command.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/root/machine_root.h"

namespace hearthctl {
namespace {

// The object path of the collection that holds `owner`'s settings in the
// service; empty when the service has another user loaded (*loaded says who).
bool CollectionPath(BusClient& client, const std::string& owner, std::string* path, std::string* loaded,
                    std::string* error) {
  if (owner.empty()) {
    *path = bus::kSystemSettingsPath;
    return true;
  }
  BusReply reply = client.Call(bus::kApplicationPath, bus::kApplicationInterface, "CurrentUserSID", {}, error);
  const char* sid = nullptr;
  if (!reply || sd_bus_message_read(reply.get(), "s", &sid) < 0) {
    if (error->empty()) *error = "CurrentUserSID: an answer of the wrong type";
    return false;
  }
  *loaded = sid != nullptr ? sid : "";
  path->clear();
  if (platform::LCase(*loaded) == platform::LCase(owner)) *path = bus::kUserSettingsPath;
  return true;
}

// A text ("s") or flag ("b") answer of a collection member; `argument`,
// when given, is its one text argument.
bool ReadAnswer(BusClient& client, const std::string& path, const char* member, const std::string* argument,
                char type, std::string* text, int* flag, std::string* error) {
  BusReply reply = client.Call(
      path.c_str(), bus::kSettingsInterface, member,
      [&](sd_bus_message* call) { return argument ? sd_bus_message_append(call, "s", argument->c_str()) : 0; }, error);
  if (!reply) return false;
  int r = 0;
  if (type == 's') {
    const char* value = nullptr;
    r = sd_bus_message_read(reply.get(), "s", &value);
    if (r >= 0) *text = value != nullptr ? value : "";
  } else {
    r = sd_bus_message_read(reply.get(), "b", flag);
  }
  if (r < 0) *error = std::string(member) + ": an answer of the wrong type";
  return r >= 0;
}

// The value of `name` in the collection at `path`: nullopt when the
// collection has no such setting (*error empty) or a call failed.
std::optional<platform::Variant> ReadSetting(BusClient& client, const std::string& path, const std::string& name,
                                             std::string* error) {
  // A name without a dot belongs to the collection's namespace.
  // Names are kept in lower case.
  std::string full = platform::LCase(name);
  if (name.find('.') == std::string::npos) {
    std::string space;
    if (!ReadAnswer(client, path, "Namespace", nullptr, 's', &space, nullptr, error)) return std::nullopt;
    full = platform::LCase(space + "." + name);
  }
  int exists = 0;
  if (!ReadAnswer(client, path, "Exists", &full, 'b', nullptr, &exists, error) || !exists) return std::nullopt;
  BusReply reply = client.Call(
      path.c_str(), bus::kSettingsInterface, "GetValue",
      [&](sd_bus_message* call) { return sd_bus_message_append(call, "s", name.c_str()); }, error);
  if (!reply) return std::nullopt;
  try {
    return bus::ReadVariant(reply.get(), {});
  } catch (const bus::CallError& refused) {
    *error = std::string("GetValue: ") + refused.what();
    return std::nullopt;
  }
}

std::string RunningOn() { return "hearthd is running on " + platform::MachineRoot().string(); }

}  // namespace

std::string SettingsOwnerText(const std::string& owner) {
  if (owner.empty()) return "the system collection";
  if (owner == "*") return "the guest profile";
  return "user " + owner;
}

int GetSettingViaService(const Command& self, const std::string& name, const std::string& owner, Io& io,
                         const std::function<int()>& from_file) {
  BusClient client;
  std::string error, path, loaded;
  if (!ConnectToRootService(client, &error) || !CollectionPath(client, owner, &path, &loaded, &error)) {
    return Report(io, self, RunningOn() + " and its settings are in its memory, but " + error, kExitFailure);
  }
  // A user the service has not loaded: the stored file is what there is.
  if (path.empty()) return from_file();
  const std::optional<platform::Variant> value = ReadSetting(client, path, name, &error);
  if (!value) {
    if (!error.empty()) return Report(io, self, error, kExitFailure);
    return Report(io, self, "no setting " + name + " in " + SettingsOwnerText(owner), kExitFailure);
  }
  std::string text;
  if (!platform::Step([&] { text = platform::CStr(*value); })) {
    return Report(io, self, name + " holds a value with no text form (" + platform::VarTypeName(value->vt()) + ")",
                  kExitFailure);
  }
  io.out << text << "\n";
  return kExitOk;
}

int SetSettingViaService(const Command& self, const std::string& name, const platform::Variant& value,
                         const std::string& owner, Io& io) {
  BusClient client;
  std::string error, path, loaded;
  if (!ConnectToRootService(client, &error) || !CollectionPath(client, owner, &path, &loaded, &error)) {
    return Report(io, self, RunningOn() + " and its settings are in its memory, but " + error + "; nothing changed",
                  kExitFailure);
  }
  if (path.empty()) {
    return Report(io, self,
                  RunningOn() + " with " + (loaded.empty() ? std::string("no user") : "user " + loaded) +
                      " loaded: it would not see a change to " + SettingsOwnerText(owner) +
                      "'s file and may store over it; stop it first (hearthctl service stop) or switch to that user",
                  kExitFailure);
  }
  BusReply set = client.Call(
      path.c_str(), bus::kSettingsInterface, "SetValue",
      [&](sd_bus_message* call) {
        int r = sd_bus_message_append(call, "s", name.c_str());
        if (r < 0) return r;
        try {
          bus::AppendVariant(call, value, {});
        } catch (const bus::CallError&) {
          return -EINVAL;
        }
        return 0;
      },
      &error);
  if (!set) return Report(io, self, error + "; nothing changed", kExitFailure);
  // Stores the changed collection and tells the plug-ins, as after any client's change.
  BusReply announced = client.Call(
      bus::kApplicationPath, bus::kApplicationInterface, "SettingsChanged",
      [](sd_bus_message* call) { return sd_bus_message_append(call, "b", 1); }, &error);
  if (!announced) {
    return Report(io, self, "the value is set in hearthd's memory, but " + error + " (see the system log)",
                  kExitFailure);
  }
  // The service reports nothing of a failed store to its callers: read back.
  const std::optional<platform::Variant> now = ReadSetting(client, path, name, &error);
  std::string shown, wanted;
  if (!now || !platform::Step([&] { shown = platform::CStr(*now); }) ||
      !platform::Step([&] { wanted = platform::CStr(value); }) || shown != wanted) {
    return Report(io, self, "hearthd did not keep the value of " + name + (error.empty() ? "" : ": " + error),
                  kExitFailure);
  }
  return kExitOk;
}

}  // namespace hearthctl
