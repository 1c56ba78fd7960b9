// Application's R2 members: the registry proxy, A1 left unused.
#include "service/application/application.h"
#include "service/application/registry_proxy.h"

namespace service {

namespace rp = registry_proxy;

int32_t Application::R2CloseKey(const std::string&, int32_t hKey) { return rp::R2CloseKey(hKey); }

int32_t Application::R2CreateKeyEx(const std::string&, int32_t hKey, std::string& lpSubKey, int32_t Reserved,
                                   const std::string& lpClass, int32_t dwOptions, int32_t samDesired,
                                   int32_t lpSecurityAttributes, int32_t& phkResult, int32_t& lpdwDisposition) {
  return rp::R2CreateKeyEx(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired, lpSecurityAttributes, phkResult,
                           lpdwDisposition);
}

int32_t Application::R2DeleteKey(const std::string&, int32_t hKey, const std::string& lpSubKey) {
  return rp::R2DeleteKey(hKey, lpSubKey);
}

int32_t Application::R2DeleteValue(const std::string&, int32_t hKey, const std::string& lpValueName) {
  return rp::R2DeleteValue(hKey, lpValueName);
}

int32_t Application::R2EnumByteValue(const std::string&, int32_t hKey, int32_t dwIndex, std::string& lpValueName,
                                     int32_t& lpcbValueName, int32_t lpReserved, int32_t& lpType,
                                     std::vector<uint8_t>* lpData, int32_t& lpcbData) {
  return rp::R2EnumByteValue(hKey, dwIndex, lpValueName, lpcbValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2EnumKeyEx(const std::string&, int32_t hKey, int32_t dwIndex, std::string& lpName,
                                 int32_t& lpcbName, int32_t lpReserved, std::string* lpClass, int32_t& lpcbClass) {
  return rp::R2EnumKeyEx(hKey, dwIndex, lpName, lpcbName, lpReserved, lpClass, lpcbClass);
}

int32_t Application::R2EnumLongValue(const std::string&, int32_t hKey, int32_t dwIndex, std::string& lpValueName,
                                     int32_t& lpcbValueName, int32_t lpReserved, int32_t& lpType, int32_t& lpData,
                                     int32_t& lpcbData) {
  return rp::R2EnumLongValue(hKey, dwIndex, lpValueName, lpcbValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2EnumStringValue(const std::string&, int32_t hKey, int32_t dwIndex, std::string& lpValueName,
                                       int32_t& lpcbValueName, int32_t lpReserved, int32_t& lpType,
                                       std::string* lpData, int32_t& lpcbData) {
  return rp::R2EnumStringValue(hKey, dwIndex, lpValueName, lpcbValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2OpenKeyEx(const std::string&, int32_t hKey, const std::string& lpSubKey, int32_t ulOptions,
                                 int32_t samDesired, int32_t& phkResult) {
  return rp::R2OpenKeyEx(hKey, lpSubKey, ulOptions, samDesired, phkResult);
}

int32_t Application::R2QueryByteValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                        int32_t lpReserved, int32_t& lpType, std::vector<uint8_t>* lpData,
                                        int32_t& lpcbData) {
  return rp::R2QueryByteValueEx(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2QueryByvalLongValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                             int32_t lpReserved, int32_t& lpType, int32_t lpData, int32_t& lpcbData) {
  return rp::R2QueryByvalLongValueEx(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2QueryLongValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                        int32_t lpReserved, int32_t& lpType, int32_t& lpData, int32_t& lpcbData) {
  return rp::R2QueryLongValueEx(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2QueryStringValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                          int32_t lpReserved, int32_t& lpType, std::string* lpData,
                                          int32_t& lpcbData) {
  return rp::R2QueryStringValueEx(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

int32_t Application::R2SetByteValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                      int32_t lpReserved, int32_t dwType, const std::vector<uint8_t>& lpData,
                                      int32_t& lpcbData) {
  return rp::R2SetByteValueEx(hKey, lpValueName, lpReserved, dwType, lpData, lpcbData);
}

int32_t Application::R2SetLongValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                      int32_t lpReserved, int32_t dwType, int32_t lpData, int32_t& lpcbData) {
  return rp::R2SetLongValueEx(hKey, lpValueName, lpReserved, dwType, lpData, lpcbData);
}

int32_t Application::R2SetStringValueEx(const std::string&, int32_t hKey, const std::string& lpValueName,
                                        int32_t lpReserved, int32_t dwType, const std::string& lpData,
                                        int32_t& lpcbData) {
  return rp::R2SetStringValueEx(hKey, lpValueName, lpReserved, dwType, lpData, lpcbData);
}

}  // namespace service
