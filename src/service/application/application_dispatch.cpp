// The members late-bound callers reach, in the order of the _Application
// interface. The internal operations (Startup, Shutdown, SaveAllSettings,
// SetCurrentUserSID) are left out on purpose.
#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"
#include "service/application/application.h"

namespace service {
namespace {

using platform::CBool;
using platform::CStr;
using platform::Variant;
using platform::com::Args;
using platform::com::ArgRange;
using platform::com::HasArg;

Variant ObjectVariant(platform::com::ObjectPtr object) { return Variant(std::move(object)); }

// Anything but an object counts as Nothing (the operation then answers as
// it does for Nothing).
platform::com::ObjectPtr ObjectArgument(const Variant& value) {
  return value.IsObject() ? value.ObjectValue() : nullptr;
}

}  // namespace

const platform::com::DispatchTable* Application::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Application>({
      {"CurrentUserSID", [](Application& self) { return self.CurrentUserSID(); }},
      {"GetFSO", 2, [](Application& self, Args args) { return self.GetFSO(CStr(args[0]), args[1]); }},
      {"GetIoNotify", [](Application& self) { return ObjectVariant(self.GetIoNotify()); }},
      {"GetUpdateInfo", 1, [](Application& self, Args args) { return ObjectVariant(self.GetUpdateInfo(CStr(args[0]))); }},
      {"GuiShutdown", [](Application& self) { self.GuiShutdown(); }},
      {"IoGetFeaturePluginData", 1,
       [](Application& self, Args args) { return ObjectVariant(self.IoGetFeaturePluginData(CStr(args[0]))); }},
      {"IoGetFeaturePluginStatus", ArgRange{1, 2},
       [](Application& self, Args args) {
         return self.IoGetFeaturePluginStatus(CStr(args[0]), HasArg(args, 1) ? CStr(args[1]) : std::string());
       }},
      {"RefreshSystemSettings", [](Application& self) { self.RefreshSystemSettings(); }},
      {"RefreshUserSettings", [](Application& self) { self.RefreshUserSettings(); }},
      {"SettingsChanged", ArgRange{0, 1},
       [](Application& self, Args args) { self.SettingsChanged(HasArg(args, 0) && CBool(args[0])); }},
      {"SwitchUser", 2, [](Application& self, Args args) { self.SwitchUser(CStr(args[0]), CStr(args[1])); }},
      {"SystemSettings", [](Application& self) { return ObjectVariant(self.SystemSettings()); }},
      {"UserSettings", [](Application& self) { return ObjectVariant(self.UserSettings()); }},
      {"version", [](Application& self) { return self.version(); }},
      {"DnsResolver", [](Application& self) { return ObjectVariant(self.DnsResolver()); }},
      {"ValidateWindowsUserCredentials", 2,
       [](Application& self, Args args) { return self.ValidateWindowsUserCredentials(CStr(args[0]), CStr(args[1])); }},
      {"SaveSettingsEx", 2,
       [](Application& self, Args args) { return self.SaveSettingsEx(ObjectArgument(args[0]), CStr(args[1])); }},
      {"LoadSingleUserSettings", [](Application& self) { self.LoadSingleUserSettings(); }},
  });
  return &table;
}

}  // namespace service
