// RestoreRegKeys (a key entry) and RestoreRegValue (a value entry).
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/registry/registry_types.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"
#include "store/key_paths.h"
#include "store/reg_wrapper_bg.h"

namespace store {
namespace {

namespace reg = platform::registry;
using namespace modRegWrapperBg;

std::string HexResult(LONG result) { return "0x" + platform::Hex(result); }

bool IsDataType(int32_t type) {
  return type == reg::kRegSz || type == reg::kRegExpandSz || type == reg::kRegBinary || type == reg::kRegMultiSz ||
         type == reg::kRegQword;
}

// Creates or opens root\path with full access; a root that is not one of the
// predefined keys is refused as an invalid handle.
LONG CreateKey(int32_t root, const std::string& path, HKEY* key) {
  *key = 0;
  if (!IsPredefinedRoot(root)) return reg::kErrorInvalidHandle;
  DWORD disposition = 0;
  return RegFacetCreateKeyEx(static_cast<HKEY>(root), path, 0, "", 0, reg::kKeyAllAccess, key, &disposition);
}

LONG SetValue(HKEY key, const ValueRecord& value) {
  if (value.ValueType == reg::kRegDword) {
    const auto number = static_cast<uint32_t>(value.DwordValue);
    const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                              static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    return RegFacetSetValueExAddress(key, value.ValueName, reg::kRegDword, bytes, 4);
  }
  return RegFacetSetValueExBytes(key, value.ValueName, static_cast<DWORD>(value.ValueType), value.Data.data(),
                                 static_cast<DWORD>(value.Data.size()));
}

// Closes the key it holds when the scope ends, also on a damaged record.
struct OpenKey {
  HKEY key = 0;
  ~OpenKey() {
    if (key) RegFacetCloseKey(key);
  }
};

}  // namespace

void cFileMgr::RestoreRegKeys(RecordReader& in) {
  const KeyRecord record = ReadKeyRecord(in);
  OpenKey current;
  LONG result = CreateKey(record.RootKey, record.KeyName, &current.key);
  if (result != reg::kErrorSuccess) {
    platform::RaiseError(platform::kErrInvalidCall, "Win32 error on RegFacetCreateKeyEx: " + HexResult(result),
                         "RestoreRegKeys");
  }
  ++last_playback_.keys;
  std::string path = record.KeyName;
  // A negative count: the records run to the end of the entry.
  for (int32_t i = 0; record.ValueCount < 0 ? in.remaining() > 0 : i < record.ValueCount; ++i) {
    const ValueRecord value = ReadValueRecord(in);
    if (!value.SubKey.empty()) {
      if (current.key) RegFacetCloseKey(current.key);
      path = JoinKeyPath(record.KeyName, value.SubKey);
      result = CreateKey(record.RootKey, path, &current.key);
      if (result != reg::kErrorSuccess) {
        service::WriteSystemLog("RestoreRegKeys: Win32 error on RegFacetCreateKeyEx(" + path + "): " +
                                HexResult(result));
        ++last_playback_.registry_failures;
      } else {
        ++last_playback_.keys;
      }
    }
    if (value.ValueType != reg::kRegDword && !IsDataType(value.ValueType)) {
      service::WriteSystemLog("RestoreRegKeys: Unknown value type '" + std::to_string(value.ValueType) +
                              "' on RegSetValueEx(" + path + "\\" + value.ValueName + "): " + HexResult(result));
      ++last_playback_.registry_failures;
      continue;
    }
    result = SetValue(current.key, value);
    if (result != reg::kErrorSuccess) {
      service::WriteSystemLog("RestoreRegKeys: Win32 error on RegSetValueEx(" + path + "\\" + value.ValueName +
                              "): " + HexResult(result));
      ++last_playback_.registry_failures;
    } else {
      ++last_playback_.values;
    }
  }
}

void cFileMgr::RestoreRegValue(RecordReader& in) {
  const ValueRecord value = ReadValueRecord(in);
  OpenKey key;
  LONG result = CreateKey(value.RootKey, value.SubKey, &key.key);
  if (result != reg::kErrorSuccess) {
    platform::RaiseError(platform::kErrInvalidCall, "Win32 error on RegFacetCreateKeyEx: " + HexResult(result),
                         "RestoreRegValue");
  }
  result = SetValue(key.key, value);
  if (result != reg::kErrorSuccess) {
    platform::RaiseError(platform::kErrInvalidCall, "Win32 error on RegSetValueEx: " + HexResult(result),
                         "RestoreRegValue");
  }
  ++last_playback_.values;
}

}  // namespace store
