#include "service/application/registry_proxy.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/registry/registry.h"

namespace service::registry_proxy {
namespace {

namespace reg = platform::registry;
using reg::DWORD;
using reg::HKEY;

HKEY Key(int32_t hKey) { return static_cast<HKEY>(hKey); }

// A size the client states, never more than the buffer it passed.
DWORD Clamp(int32_t stated, size_t real) {
  const auto size = static_cast<DWORD>(stated);
  return std::min<DWORD>(size, static_cast<DWORD>(std::min<size_t>(real, 0xFFFFFFFFu)));
}

// A string buffer as the registry function sees it: the text and the NUL
// behind it. After the call the client's text keeps its length and holds
// what was written.
struct TextBuffer {
  explicit TextBuffer(const std::string& text) : bytes(text) { bytes.push_back('\0'); }
  char* data() { return bytes.data(); }
  size_t size() const { return bytes.size(); }
  void CopyBack(std::string& text) const { text.assign(bytes.data(), bytes.size() - 1); }
  std::string bytes;
};

const char* NullOrText(const std::string& text) { return text.c_str(); }

}  // namespace

int32_t R2CloseKey(int32_t hKey) { return reg::RegCloseKey(Key(hKey)); }

int32_t R2CreateKeyEx(int32_t hKey, std::string& lpSubKey, int32_t Reserved, const std::string& lpClass,
                      int32_t dwOptions, int32_t samDesired, int32_t lpSecurityAttributes, int32_t& phkResult,
                      int32_t& lpdwDisposition) {
  HKEY result = static_cast<HKEY>(phkResult);
  DWORD disposition = static_cast<DWORD>(lpdwDisposition);
  // The security attributes travel as the number they are; the hive ignores them.
  const void* attributes = reinterpret_cast<const void*>(static_cast<uintptr_t>(static_cast<uint32_t>(lpSecurityAttributes)));
  const int32_t code = reg::RegCreateKeyExA(Key(hKey), NullOrText(lpSubKey), static_cast<DWORD>(Reserved),
                                            lpClass.c_str(), static_cast<DWORD>(dwOptions),
                                            static_cast<DWORD>(samDesired), attributes, &result, &disposition);
  phkResult = static_cast<int32_t>(result);
  lpdwDisposition = static_cast<int32_t>(disposition);
  return code;
}

int32_t R2DeleteKey(int32_t hKey, const std::string& lpSubKey) { return reg::RegDeleteKeyA(Key(hKey), lpSubKey.c_str()); }

int32_t R2DeleteValue(int32_t hKey, const std::string& lpValueName) {
  return reg::RegDeleteValueA(Key(hKey), lpValueName.c_str());
}

namespace {

// RegEnumValueA with the data written to `data` (null: none), at most `capacity` bytes.
int32_t EnumValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName, int32_t& lpType,
                  uint8_t* data, size_t capacity, int32_t& lpcbData) {
  TextBuffer name(lpValueName);
  DWORD name_size = Clamp(lpcbValueName, name.size());
  DWORD type = static_cast<DWORD>(lpType);
  DWORD data_size = data ? Clamp(lpcbData, capacity) : static_cast<DWORD>(lpcbData);
  const int32_t code =
      reg::RegEnumValueA(Key(hKey), static_cast<DWORD>(dwIndex), name.data(), &name_size, nullptr, &type, data, &data_size);
  name.CopyBack(lpValueName);
  lpcbValueName = static_cast<int32_t>(name_size);
  lpType = static_cast<int32_t>(type);
  lpcbData = static_cast<int32_t>(data_size);
  return code;
}

int32_t QueryValue(int32_t hKey, const std::string& lpValueName, int32_t& lpType, uint8_t* data, size_t capacity,
                   int32_t& lpcbData) {
  DWORD type = static_cast<DWORD>(lpType);
  DWORD data_size = data ? Clamp(lpcbData, capacity) : static_cast<DWORD>(lpcbData);
  const int32_t code = reg::RegQueryValueExA(Key(hKey), lpValueName.c_str(), nullptr, &type, data, &data_size);
  lpType = static_cast<int32_t>(type);
  lpcbData = static_cast<int32_t>(data_size);
  return code;
}

}  // namespace

int32_t R2EnumByteValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName,
                        int32_t /*lpReserved*/, int32_t& lpType, Bytes* lpData, int32_t& lpcbData) {
  uint8_t* data = lpData && !lpData->empty() ? lpData->data() : nullptr;
  return EnumValue(hKey, dwIndex, lpValueName, lpcbValueName, lpType, data, lpData ? lpData->size() : 0, lpcbData);
}

int32_t R2EnumKeyEx(int32_t hKey, int32_t dwIndex, std::string& lpName, int32_t& lpcbName, int32_t /*lpReserved*/,
                    std::string* lpClass, int32_t& lpcbClass) {
  TextBuffer name(lpName);
  DWORD name_size = Clamp(lpcbName, name.size());
  std::optional<TextBuffer> class_name;
  DWORD class_size = 0;
  if (lpClass) {
    class_name.emplace(*lpClass);
    class_size = Clamp(lpcbClass, class_name->size());
  }
  const int32_t code = reg::RegEnumKeyExA(Key(hKey), static_cast<DWORD>(dwIndex), name.data(), &name_size, nullptr,
                                          class_name ? class_name->data() : nullptr, class_name ? &class_size : nullptr,
                                          nullptr);
  name.CopyBack(lpName);
  lpcbName = static_cast<int32_t>(name_size);
  if (class_name) {
    class_name->CopyBack(*lpClass);
    lpcbClass = static_cast<int32_t>(class_size);
  }
  return code;
}

int32_t R2EnumLongValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName,
                        int32_t /*lpReserved*/, int32_t& lpType, int32_t& lpData, int32_t& lpcbData) {
  uint8_t bytes[4];
  std::memcpy(bytes, &lpData, 4);
  const int32_t code = EnumValue(hKey, dwIndex, lpValueName, lpcbValueName, lpType, bytes, 4, lpcbData);
  std::memcpy(&lpData, bytes, 4);
  return code;
}

int32_t R2EnumStringValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName,
                          int32_t /*lpReserved*/, int32_t& lpType, std::string* lpData, int32_t& lpcbData) {
  if (!lpData) return EnumValue(hKey, dwIndex, lpValueName, lpcbValueName, lpType, nullptr, 0, lpcbData);
  TextBuffer data(*lpData);
  const int32_t code = EnumValue(hKey, dwIndex, lpValueName, lpcbValueName, lpType,
                                 reinterpret_cast<uint8_t*>(data.data()), data.size(), lpcbData);
  data.CopyBack(*lpData);
  return code;
}

int32_t R2OpenKeyEx(int32_t hKey, const std::string& lpSubKey, int32_t ulOptions, int32_t samDesired,
                    int32_t& phkResult) {
  HKEY result = static_cast<HKEY>(phkResult);
  const int32_t code = reg::RegOpenKeyExA(Key(hKey), lpSubKey.c_str(), static_cast<DWORD>(ulOptions),
                                          static_cast<DWORD>(samDesired), &result);
  phkResult = static_cast<int32_t>(result);
  return code;
}

int32_t R2QueryByteValueEx(int32_t hKey, const std::string& lpValueName, int32_t /*lpReserved*/, int32_t& lpType,
                           Bytes* lpData, int32_t& lpcbData) {
  uint8_t* data = lpData && !lpData->empty() ? lpData->data() : nullptr;
  return QueryValue(hKey, lpValueName, lpType, data, lpData ? lpData->size() : 0, lpcbData);
}

int32_t R2QueryByvalLongValueEx(int32_t hKey, const std::string& lpValueName, int32_t /*lpReserved*/, int32_t& lpType,
                                int32_t lpData, int32_t& lpcbData) {
  if (lpData != 0) return kErrorNoAccess;
  return QueryValue(hKey, lpValueName, lpType, nullptr, 0, lpcbData);
}

int32_t R2QueryLongValueEx(int32_t hKey, const std::string& lpValueName, int32_t /*lpReserved*/, int32_t& lpType,
                           int32_t& lpData, int32_t& lpcbData) {
  uint8_t bytes[4];
  std::memcpy(bytes, &lpData, 4);
  const int32_t code = QueryValue(hKey, lpValueName, lpType, bytes, 4, lpcbData);
  std::memcpy(&lpData, bytes, 4);
  return code;
}

int32_t R2QueryStringValueEx(int32_t hKey, const std::string& lpValueName, int32_t /*lpReserved*/, int32_t& lpType,
                             std::string* lpData, int32_t& lpcbData) {
  if (!lpData) return QueryValue(hKey, lpValueName, lpType, nullptr, 0, lpcbData);
  TextBuffer data(*lpData);
  const int32_t code =
      QueryValue(hKey, lpValueName, lpType, reinterpret_cast<uint8_t*>(data.data()), data.size(), lpcbData);
  data.CopyBack(*lpData);
  return code;
}

int32_t R2SetByteValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t dwType,
                         const Bytes& lpData, int32_t& lpcbData) {
  static const uint8_t kNone = 0;
  return reg::RegSetValueExA(Key(hKey), lpValueName.c_str(), static_cast<DWORD>(lpReserved), static_cast<DWORD>(dwType),
                             lpData.empty() ? &kNone : lpData.data(), Clamp(lpcbData, lpData.size()));
}

int32_t R2SetLongValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t dwType,
                         int32_t lpData, int32_t& lpcbData) {
  uint8_t bytes[4];
  std::memcpy(bytes, &lpData, 4);
  return reg::RegSetValueExA(Key(hKey), lpValueName.c_str(), static_cast<DWORD>(lpReserved), static_cast<DWORD>(dwType),
                             bytes, Clamp(lpcbData, 4));
}

int32_t R2SetStringValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t dwType,
                           const std::string& lpData, int32_t& lpcbData) {
  return reg::RegSetValueExA(Key(hKey), lpValueName.c_str(), static_cast<DWORD>(lpReserved), static_cast<DWORD>(dwType),
                             reinterpret_cast<const uint8_t*>(lpData.c_str()), Clamp(lpcbData, lpData.size() + 1));
}

}  // namespace service::registry_proxy
