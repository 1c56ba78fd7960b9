// A settings collection (cSettings) on the bus: the system collection and
// the current user's.
#include "bus/bus_names.h"
#include "bus/call_context.h"
#include "bus/call_error.h"
#include "bus/member_table.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/basic/conversions.h"
#include "platform/com/object.h"
#include "settings/collection/storable_setting.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {
namespace {

// A value or a name the collection refuses (see settings/collection/
// storable_setting.h) is refused here too, as invalid arguments, by the same
// rule. The bus adds one of its own: no object at all, since a caller could
// otherwise set a collection into itself or into another by its path.
void RefuseUnstorable(CallContext& context, const std::vector<platform::Variant>& args) {
  const std::string name = args.at(0).IsString() ? args.at(0).StringValue() : std::string();
  const platform::Variant& value = args.at(1);
  if (value.IsObject() && !value.IsNothing()) {
    throw CallError(kErrorInvalidArgs, "a setting cannot hold a value of type " + platform::VarTypeName(value.vt()));
  }
  const std::string space = platform::CStr(platform::com::CallByName(context.Target(), "Namespace"));
  const std::string why = settings::WhyUnstorable(settings::StoredSettingName(space, name), value);
  if (!why.empty()) throw CallError(kErrorInvalidArgs, why);
}

// A namespace no stored name could start with.
void RefuseNamespace(CallContext&, const std::vector<platform::Variant>& args) {
  const std::string why =
      settings::WhyNoNamespace(settings::KeptNamespace(args.at(0).IsString() ? args.at(0).StringValue() : ""));
  if (!why.empty()) throw CallError(kErrorInvalidArgs, why);
}

}  // namespace

const BusInterface& SettingsInterface() {
  static const BusInterface table{
      kSettingsInterface,
      {
          {.name = "UseFile", .out = "b", .out_names = {"value"}},
          {.name = "SetUseFile", .in = "b", .in_names = {"value"}, .access = Access::kAct, .late_bound = "UseFile",
           .put = true},
          {.name = "Namespace", .out = "s", .out_names = {"value"}},
          {.name = "SetNamespace", .in = "s", .in_names = {"value"}, .access = Access::kAct,
           .late_bound = "Namespace", .put = true, .check = RefuseNamespace},
          {.name = "EnumSettingNames", .in = "s", .in_names = {"PrevSettingName"}, .out = "s",
           .out_names = {"name"}},
          {.name = "GetValue", .in = "s", .in_names = {"Setting"}, .out = "v", .out_names = {"value"}},
          {.name = "GetValueB", .in = "s", .in_names = {"Setting"}, .out = "b", .out_names = {"value"}},
          {.name = "GetValueL", .in = "s", .in_names = {"Setting"}, .out = "i", .out_names = {"value"}},
          {.name = "RemoveValue", .in = "s", .in_names = {"Setting"}, .access = Access::kAct},
          {.name = "SetValue", .in = "sv", .in_names = {"Setting", "value"}, .access = Access::kAct,
           .check = RefuseUnstorable},
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
