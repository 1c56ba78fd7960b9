// A settings collection (cSettings) on the bus: the system collection and
// the current user's.
#include "bus/bus_names.h"
#include "bus/member_table.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {

const BusInterface& SettingsInterface() {
  static const BusInterface table{
      kSettingsInterface,
      {
          {.name = "UseFile", .out = "b", .out_names = {"value"}},
          {.name = "SetUseFile", .in = "b", .in_names = {"value"}, .access = Access::kAct, .late_bound = "UseFile",
           .put = true},
          {.name = "Namespace", .out = "s", .out_names = {"value"}},
          {.name = "SetNamespace", .in = "s", .in_names = {"value"}, .access = Access::kAct,
           .late_bound = "Namespace", .put = true},
          {.name = "EnumSettingNames", .in = "s", .in_names = {"PrevSettingName"}, .out = "s",
           .out_names = {"name"}},
          {.name = "GetValue", .in = "s", .in_names = {"Setting"}, .out = "v", .out_names = {"value"}},
          {.name = "GetValueB", .in = "s", .in_names = {"Setting"}, .out = "b", .out_names = {"value"}},
          {.name = "GetValueL", .in = "s", .in_names = {"Setting"}, .out = "i", .out_names = {"value"}},
          {.name = "RemoveValue", .in = "s", .in_names = {"Setting"}, .access = Access::kAct},
          {.name = "SetValue", .in = "sv", .in_names = {"Setting", "value"}, .access = Access::kAct},
          {.name = "WriteSnapshotToString", .out = "s", .out_names = {"XML"}},
          {.name = "CreateSnapshotFromString", .in = "s", .in_names = {"XML"}, .access = Access::kAct},
          {.name = "WriteSnapshotToStored", .in = "s", .in_names = {"usersid"}, .access = Access::kAct},
          {.name = "CreateSnapshotFromStored", .in = "s", .in_names = {"usersid"}, .access = Access::kAct},
          {.name = "DoSync", .in = "s", .in_names = {"Reason"}, .out = "vs", .out_names = {"result", "Reason"},
           .access = Access::kAct, .outputs = {kResult, 0}},
          {.name = "ClearAllSettings", .access = Access::kAct},
          {.name = "Dirty", .out = "b", .out_names = {"value"}},
          {.name = "Exists", .in = "s", .in_names = {"Setting"}, .out = "b", .out_names = {"exists"}},
          {.name = "DebugCheckBogusSettings", .in = "s", .in_names = {"UserID"}, .access = Access::kAct},
      },
      {
          {"Sync", "s", {"Reason"}},
          {"SettingChanged", "sv", {"Setting", "value"}},
          {"SettingsCleared", "", {}},
          {"SettingsLoaded", "", {}},
          {"SettingRemoved", "sv", {"RemovedSetting", "RemovedValue"}},
          {"SettingsStored", "", {}},
      },
  };
  return table;
}

}  // namespace bus
