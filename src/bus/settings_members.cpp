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
#include "platform/xml/document.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {
namespace {

// A value the collection would take but could never store: an Error, an
// array that is not a byte array, an object (a collection set into itself
// would recurse), or a name no XML element may have. One such setting would
// make every later store of the whole collection fail, so the bus refuses it.
void RefuseUnstorable(CallContext& context, const std::vector<platform::Variant>& args) {
  const std::string name = args.at(0).IsString() ? args.at(0).StringValue() : std::string();
  const platform::Variant& value = args.at(1);
  if (value.IsError() || (value.IsArray() && !value.IsByteArray()) || (value.IsObject() && !value.IsNothing())) {
    throw CallError(kErrorInvalidArgs, "a setting cannot hold a value of type " + platform::VarTypeName(value.vt()));
  }
  // Transient names are never stored; "name=member" is stored as "name.MV".
  if (platform::LCase(name.substr(0, 4)) == "tmp.") return;
  std::string stored = name.substr(0, name.find('='));
  if (name.find('=') != std::string::npos) stored += ".MV";
  // A name without a dot goes into the collection's namespace.
  if (stored.find('.') == std::string::npos) {
    stored.insert(0, platform::CStr(platform::com::CallByName(context.Target(), "Namespace")));
  }
  if (!platform::xml::IsValidXmlName(stored)) {
    throw CallError(kErrorInvalidArgs, "\"" + name + "\" cannot be a setting name (it is not a valid XML name)");
  }
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
           .late_bound = "Namespace", .put = true},
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
