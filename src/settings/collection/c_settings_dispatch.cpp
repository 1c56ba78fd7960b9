// The members late-bound callers reach, in interface order.
#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"
#include "settings/collection/c_settings.h"

namespace settings {

const platform::com::DispatchTable* cSettings::Dispatch() const {
  using platform::CStr;
  using platform::Variant;
  using platform::com::Args;
  using platform::com::kPut;
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<cSettings>({
      {"UseFile", [](cSettings& self) { return self.UseFile(); }},
      {"UseFile", kPut, [](cSettings& self, Variant& value) { self.SetUseFile(platform::CBool(value)); }},
      {"Namespace", [](cSettings& self) { return self.Namespace(); }},
      {"Namespace", kPut, [](cSettings& self, Variant& value) { self.SetNamespace(CStr(value)); }},
      {"EnumSettingNames", 1, [](cSettings& self, Args args) { return self.EnumSettingNames(CStr(args[0])); }},
      {"GetValue", 1, [](cSettings& self, Args args) { return self.GetValue(CStr(args[0])); }},
      {"GetValueB", 1, [](cSettings& self, Args args) { return self.GetValueB(CStr(args[0])); }},
      {"GetValueL", 1, [](cSettings& self, Args args) { return self.GetValueL(CStr(args[0])); }},
      {"RemoveValue", 1, [](cSettings& self, Args args) { self.RemoveValue(CStr(args[0])); }},
      {"SetValue", 2, [](cSettings& self, Args args) { self.SetValue(CStr(args[0]), args[1]); }},
      {"WriteSnapshotToString", [](cSettings& self) { return self.WriteSnapshotToString(); }},
      {"CreateSnapshotFromString", 1,
       [](cSettings& self, Args args) { self.CreateSnapshotFromString(CStr(args[0])); }},
      {"WriteSnapshotToStored", 1, [](cSettings& self, Args args) { self.WriteSnapshotToStored(CStr(args[0])); }},
      {"CreateSnapshotFromStored", 1,
       [](cSettings& self, Args args) { self.CreateSnapshotFromStored(CStr(args[0])); }},
      {"DoSync", 1,
       [](cSettings& self, Args args) {
         std::string reason = CStr(args[0]);
         Variant result = self.DoSync(reason);
         args[0] = Variant(reason);
         return result;
       }},
      {"ClearAllSettings", [](cSettings& self) { self.ClearAllSettings(); }},
      {"Dirty", [](cSettings& self) { return self.Dirty(); }},
      {"Exists", 1, [](cSettings& self, Args args) { return self.Exists(CStr(args[0])); }},
      {"DebugCheckBogusSettings", 1,
       [](cSettings& self, Args args) { self.DebugCheckBogusSettings(CStr(args[0])); }},
  });
  return &table;
}

}  // namespace settings
