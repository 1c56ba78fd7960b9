#include "store/reg_wrapper_bg.h"

#include <cstring>

#include "platform/registry/registry.h"

namespace store::modRegWrapperBg {
namespace reg = platform::registry;

namespace {

// The name a name buffer holds after the call: up to its first NUL.
void TakeName(std::string& name, const std::string& buffer) {
  const size_t nul = buffer.find('\0');
  name = nul == std::string::npos ? buffer : buffer.substr(0, nul);
}

}  // namespace

LONG RegFacetCreateKeyEx(HKEY hKey, const std::string& lpSubKey, DWORD Reserved, const std::string& lpClass,
                         DWORD dwOptions, DWORD samDesired, HKEY* phkResult, DWORD* lpdwDisposition) {
  return reg::RegCreateKeyExA(hKey, lpSubKey.c_str(), Reserved, lpClass.c_str(), dwOptions, samDesired, nullptr,
                              phkResult, lpdwDisposition);
}

LONG RegFacetOpenKeyEx(HKEY hKey, const std::string& lpSubKey, DWORD ulOptions, DWORD samDesired, HKEY* phkResult) {
  return reg::RegOpenKeyExA(hKey, lpSubKey.c_str(), ulOptions, samDesired, phkResult);
}

LONG RegFacetCloseKey(HKEY hKey) { return reg::RegCloseKey(hKey); }

LONG RegFacetSetValueExString(HKEY hKey, const std::string& lpValueName, DWORD dwType, const std::string& lpData,
                              DWORD cbData) {
  // Never more than the text and its terminating NUL.
  if (cbData > lpData.size() + 1) cbData = static_cast<DWORD>(lpData.size() + 1);
  return reg::RegSetValueExA(hKey, lpValueName.c_str(), 0, dwType, reinterpret_cast<const reg::BYTE*>(lpData.c_str()),
                             cbData);
}

LONG RegFacetSetValueExAddress(HKEY hKey, const std::string& lpValueName, DWORD dwType, const void* lpData,
                               DWORD cbData) {
  return reg::RegSetValueExA(hKey, lpValueName.c_str(), 0, dwType, static_cast<const reg::BYTE*>(lpData), cbData);
}

LONG RegFacetSetValueExBytes(HKEY hKey, const std::string& lpValueName, DWORD dwType, const uint8_t* lpData,
                             DWORD cbData) {
  static const uint8_t kNone = 0;
  return reg::RegSetValueExA(hKey, lpValueName.c_str(), 0, dwType, lpData ? lpData : &kNone, cbData);
}

LONG RegFacetDeleteKey(HKEY hKey, const std::string& lpSubKey) { return reg::RegDeleteKeyA(hKey, lpSubKey.c_str()); }

LONG RegFacetEnumKeyEx(HKEY hKey, DWORD dwIndex, std::string& lpName, DWORD& lpcbName) {
  std::string buffer(lpcbName, '\0');
  const LONG result =
      reg::RegEnumKeyExA(hKey, dwIndex, buffer.data(), &lpcbName, nullptr, nullptr, nullptr, nullptr);
  TakeName(lpName, buffer);
  return result;
}

LONG RegFacetEnumValueString(HKEY hKey, DWORD dwIndex, std::string& lpValueName, DWORD& lpcbValueName,
                             DWORD& lpType, std::string* lpData, DWORD& lpcbData) {
  std::string name(lpcbValueName, '\0');
  LONG result;
  if (lpData) {
    lpData->resize(lpcbData);
    result = reg::RegEnumValueA(hKey, dwIndex, name.data(), &lpcbValueName, nullptr, &lpType,
                                reinterpret_cast<reg::BYTE*>(lpData->data()), &lpcbData);
  } else {
    result = reg::RegEnumValueA(hKey, dwIndex, name.data(), &lpcbValueName, nullptr, &lpType, nullptr, &lpcbData);
  }
  TakeName(lpValueName, name);
  return result;
}

LONG RegFacetEnumValueAddress(HKEY hKey, DWORD dwIndex, std::string& lpValueName, DWORD& lpcbValueName,
                              DWORD& lpType, void* lpData, DWORD* lpcbData) {
  std::string name(lpcbValueName, '\0');
  const LONG result = reg::RegEnumValueA(hKey, dwIndex, name.data(), &lpcbValueName, nullptr, &lpType,
                                         static_cast<reg::BYTE*>(lpData), lpcbData);
  TakeName(lpValueName, name);
  return result;
}

LONG RegFacetEnumValueBytes(HKEY hKey, DWORD dwIndex, std::string& lpValueName, DWORD& lpcbValueName,
                            DWORD& lpType, uint8_t* lpData, DWORD* lpcbData) {
  return RegFacetEnumValueAddress(hKey, dwIndex, lpValueName, lpcbValueName, lpType, lpData, lpcbData);
}

}  // namespace store::modRegWrapperBg
