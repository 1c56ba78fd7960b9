// The members late-bound callers reach, in the order of the _Application
// interface. The internal operations (Startup, Shutdown, SaveAllSettings,
// SetCurrentUserSID) are left out on purpose.
#include <optional>
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
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


// Arguments of the registry proxy. What cannot be read as a number or text
// counts as 0 or empty text rather than failing the call.
int32_t LongArg(Args args, size_t i) {
  int32_t value = 0;
  if (HasArg(args, i)) platform::Quietly([&] { value = platform::CLng(args[i]); });
  return value;
}

std::string TextArg(Args args, size_t i) {
  std::string value;
  if (HasArg(args, i)) platform::Quietly([&] { value = CStr(args[i]); });
  return value;
}

// A string argument that may be a null string (Null, Empty or left out):
// nothing then.
std::optional<std::string> NullableTextArg(Args args, size_t i) {
  if (!HasArg(args, i) || args[i].IsNull() || args[i].IsEmpty()) return std::nullopt;
  return TextArg(args, i);
}

// A byte array argument; an array that holds no element is no buffer.
std::optional<std::vector<uint8_t>> BytesArg(Args args, size_t i) {
  if (!HasArg(args, i) || !args[i].IsByteArray() || !args[i].IsAllocated() || args[i].ElementCount() == 0) {
    return std::nullopt;
  }
  return args[i].Bytes();
}

// Writes a byte buffer back into the caller's array, keeping its bounds.
void PutBytes(Args args, size_t i, const std::vector<uint8_t>& bytes) {
  args[i] = Variant::ByteArray(bytes, args[i].LowerBound());
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
      {"R2CloseKey", 2, [](Application& self, Args args) { return self.R2CloseKey(TextArg(args, 0), LongArg(args, 1)); }},
      {"R2CreateKeyEx", 10,
       [](Application& self, Args args) {
         std::string sub_key = TextArg(args, 2);
         int32_t result = LongArg(args, 8);
         int32_t disposition = LongArg(args, 9);
         const int32_t code = self.R2CreateKeyEx(TextArg(args, 0), LongArg(args, 1), sub_key, LongArg(args, 3),
                                                 TextArg(args, 4), LongArg(args, 5), LongArg(args, 6), LongArg(args, 7),
                                                 result, disposition);
         args[2] = Variant(sub_key);
         args[8] = Variant(result);
         args[9] = Variant(disposition);
         return code;
       }},
      {"R2DeleteKey", 3,
       [](Application& self, Args args) { return self.R2DeleteKey(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2)); }},
      {"R2DeleteValue", 3,
       [](Application& self, Args args) {
         return self.R2DeleteValue(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2));
       }},
      {"R2EnumByteValue", 9,
       [](Application& self, Args args) {
         std::string name = TextArg(args, 3);
         int32_t name_size = LongArg(args, 4);
         int32_t type = LongArg(args, 6);
         std::optional<std::vector<uint8_t>> data = BytesArg(args, 7);
         int32_t data_size = LongArg(args, 8);
         const int32_t code = self.R2EnumByteValue(TextArg(args, 0), LongArg(args, 1), LongArg(args, 2), name, name_size,
                                                   LongArg(args, 5), type, data ? &*data : nullptr, data_size);
         args[3] = Variant(name);
         args[4] = Variant(name_size);
         args[6] = Variant(type);
         if (data) PutBytes(args, 7, *data);
         args[8] = Variant(data_size);
         return code;
       }},
      {"R2EnumKeyEx", 9,
       [](Application& self, Args args) {
         std::string name = TextArg(args, 3);
         int32_t name_size = LongArg(args, 4);
         std::optional<std::string> key_class = NullableTextArg(args, 6);
         int32_t class_size = LongArg(args, 7);
         const int32_t code = self.R2EnumKeyEx(TextArg(args, 0), LongArg(args, 1), LongArg(args, 2), name, name_size,
                                               LongArg(args, 5), key_class ? &*key_class : nullptr, class_size);
         args[3] = Variant(name);
         args[4] = Variant(name_size);
         if (key_class) args[6] = Variant(*key_class);
         args[7] = Variant(class_size);
         return code;
       }},
      {"R2EnumLongValue", 9,
       [](Application& self, Args args) {
         std::string name = TextArg(args, 3);
         int32_t name_size = LongArg(args, 4);
         int32_t type = LongArg(args, 6);
         int32_t data = LongArg(args, 7);
         int32_t data_size = LongArg(args, 8);
         const int32_t code = self.R2EnumLongValue(TextArg(args, 0), LongArg(args, 1), LongArg(args, 2), name, name_size,
                                                   LongArg(args, 5), type, data, data_size);
         args[3] = Variant(name);
         args[4] = Variant(name_size);
         args[6] = Variant(type);
         args[7] = Variant(data);
         args[8] = Variant(data_size);
         return code;
       }},
      {"R2EnumStringValue", 9,
       [](Application& self, Args args) {
         std::string name = TextArg(args, 3);
         int32_t name_size = LongArg(args, 4);
         int32_t type = LongArg(args, 6);
         std::optional<std::string> data = NullableTextArg(args, 7);
         int32_t data_size = LongArg(args, 8);
         const int32_t code = self.R2EnumStringValue(TextArg(args, 0), LongArg(args, 1), LongArg(args, 2), name,
                                                     name_size, LongArg(args, 5), type, data ? &*data : nullptr,
                                                     data_size);
         args[3] = Variant(name);
         args[4] = Variant(name_size);
         args[6] = Variant(type);
         if (data) args[7] = Variant(*data);
         args[8] = Variant(data_size);
         return code;
       }},
      {"R2OpenKeyEx", 6,
       [](Application& self, Args args) {
         int32_t result = LongArg(args, 5);
         const int32_t code = self.R2OpenKeyEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2), LongArg(args, 3),
                                               LongArg(args, 4), result);
         args[5] = Variant(result);
         return code;
       }},
      {"R2QueryByteValueEx", 7,
       [](Application& self, Args args) {
         int32_t type = LongArg(args, 4);
         std::optional<std::vector<uint8_t>> data = BytesArg(args, 5);
         int32_t data_size = LongArg(args, 6);
         const int32_t code = self.R2QueryByteValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2),
                                                      LongArg(args, 3), type, data ? &*data : nullptr, data_size);
         args[4] = Variant(type);
         if (data) PutBytes(args, 5, *data);
         args[6] = Variant(data_size);
         return code;
       }},
      {"R2QueryByvalLongValueEx", 7,
       [](Application& self, Args args) {
         int32_t type = LongArg(args, 4);
         int32_t data_size = LongArg(args, 6);
         const int32_t code = self.R2QueryByvalLongValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2),
                                                           LongArg(args, 3), type, LongArg(args, 5), data_size);
         args[4] = Variant(type);
         args[6] = Variant(data_size);
         return code;
       }},
      {"R2QueryLongValueEx", 7,
       [](Application& self, Args args) {
         int32_t type = LongArg(args, 4);
         int32_t data = LongArg(args, 5);
         int32_t data_size = LongArg(args, 6);
         const int32_t code = self.R2QueryLongValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2),
                                                      LongArg(args, 3), type, data, data_size);
         args[4] = Variant(type);
         args[5] = Variant(data);
         args[6] = Variant(data_size);
         return code;
       }},
      {"R2QueryStringValueEx", 7,
       [](Application& self, Args args) {
         int32_t type = LongArg(args, 4);
         std::optional<std::string> data = NullableTextArg(args, 5);
         int32_t data_size = LongArg(args, 6);
         const int32_t code = self.R2QueryStringValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2),
                                                        LongArg(args, 3), type, data ? &*data : nullptr, data_size);
         args[4] = Variant(type);
         if (data) args[5] = Variant(*data);
         args[6] = Variant(data_size);
         return code;
       }},
      {"R2SetByteValueEx", 7,
       [](Application& self, Args args) {
         int32_t data_size = LongArg(args, 6);
         return self.R2SetByteValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2), LongArg(args, 3),
                                      LongArg(args, 4), BytesArg(args, 5).value_or(std::vector<uint8_t>{}), data_size);
       }},
      {"R2SetLongValueEx", 7,
       [](Application& self, Args args) {
         int32_t data_size = LongArg(args, 6);
         return self.R2SetLongValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2), LongArg(args, 3),
                                      LongArg(args, 4), LongArg(args, 5), data_size);
       }},
      {"R2SetStringValueEx", 7,
       [](Application& self, Args args) {
         int32_t data_size = LongArg(args, 6);
         return self.R2SetStringValueEx(TextArg(args, 0), LongArg(args, 1), TextArg(args, 2), LongArg(args, 3),
                                        LongArg(args, 4), TextArg(args, 5), data_size);
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
