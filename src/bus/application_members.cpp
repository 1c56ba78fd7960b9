// The Application object on the bus.
#include "bus/bus_names.h"
#include "bus/member_table.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {

const BusInterface& ApplicationInterface() {
  static const BusInterface table{
      kApplicationInterface,
      {
          {.name = "CurrentUserSID", .out = "s", .out_names = {"sid"}},
          // The object never crosses the bus: o is always "/".
          {.name = "GetFSO", .in = "s", .in_names = {"A3"}, .out = "io", .out_names = {"result", "o"},
           .outputs = {kResult, 1}, .extra = [](CallContext&) { return std::vector<platform::Variant>{platform::Variant()}; }},
          {.name = "GetIoNotify", .out = "o", .out_names = {"ioNotify"}},
          {.name = "GetUpdateInfo", .in = "s", .in_names = {"A6"}, .out = "o", .out_names = {"info"}},
          {.name = "GuiShutdown", .access = Access::kAct},
          {.name = "IoGetFeaturePluginData", .in = "s", .in_names = {"ProgID"}, .out = "o", .out_names = {"data"}},
          {.name = "IoGetFeaturePluginStatus", .in = "ss", .in_names = {"ProgID", "SubStatus"}, .out = "b",
           .out_names = {"status"}},
          {.name = "RefreshSystemSettings", .access = Access::kAct},
          {.name = "RefreshUserSettings", .access = Access::kAct},
          {.name = "SettingsChanged", .in = "b", .in_names = {"fDoPersist"}, .access = Access::kAct},
          {.name = "SwitchUser", .in = "ss", .in_names = {"oldUserSID", "NewUserSID"}, .access = Access::kAct},
          {.name = "SystemSettings", .out = "o", .out_names = {"settings"}},
          {.name = "UserSettings", .out = "o", .out_names = {"settings"}},
          {.name = "version", .out = "s", .out_names = {"version"}},
          {.name = "DnsResolver", .out = "o", .out_names = {"resolver"}},
          // A password guesser's tool: root only, the password wiped with the
          // message, and repeated failures slow their caller.
          {.name = "ValidateWindowsUserCredentials", .in = "ss", .in_names = {"Username", "password"}, .out = "b",
           .out_names = {"valid"}, .access = Access::kRoot, .access_why = "it checks passwords",
           .sensitive = true, .throttled = true},
          // Settings: the path of one of the collections on the bus.
          {.name = "SaveSettingsEx", .in = "os", .in_names = {"Settings", "usersid"}, .out = "b",
           .out_names = {"saved"}, .access = Access::kAct},
          {.name = "LoadSingleUserSettings", .access = Access::kAct},
      },
      {
          {"OnStartup", "", {}},
          {"OnShutdown", "", {}},
          {"OnUserSwitch", "ss", {"OldUserID", "NewUserID"}},
          {"OnUserSettingsChange", "", {}},
          {"OnSettingsChange", "", {}},
      },
  };
  return table;
}

}  // namespace bus
