// The registry proxy: the sixteen R2 members of Application, each one
// registry function called with the service's rights for a client that
// holds key handles only as numbers. The first argument (A1) is not used.
//
// Buffers: the client states a size in the length argument; the call never
// lets the registry function write past the buffer the client really
// passed (a string's length plus its terminating NUL, a byte array's
// elements, 4 bytes for a Long), so a size that claims more than the buffer
// holds is taken as the buffer's size. Results are the registry function's
// Win32 codes, unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace service::registry_proxy {

using Bytes = std::vector<uint8_t>;

int32_t R2CloseKey(int32_t hKey);
int32_t R2CreateKeyEx(int32_t hKey, std::string& lpSubKey, int32_t Reserved, const std::string& lpClass,
                      int32_t dwOptions, int32_t samDesired, int32_t lpSecurityAttributes, int32_t& phkResult,
                      int32_t& lpdwDisposition);
int32_t R2DeleteKey(int32_t hKey, const std::string& lpSubKey);
int32_t R2DeleteValue(int32_t hKey, const std::string& lpValueName);
// lpData null asks for type and size only.
int32_t R2EnumByteValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName,
                        int32_t lpReserved, int32_t& lpType, Bytes* lpData, int32_t& lpcbData);
int32_t R2EnumKeyEx(int32_t hKey, int32_t dwIndex, std::string& lpName, int32_t& lpcbName, int32_t lpReserved,
                    std::string* lpClass, int32_t& lpcbClass);
int32_t R2EnumLongValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName,
                        int32_t lpReserved, int32_t& lpType, int32_t& lpData, int32_t& lpcbData);
int32_t R2EnumStringValue(int32_t hKey, int32_t dwIndex, std::string& lpValueName, int32_t& lpcbValueName,
                          int32_t lpReserved, int32_t& lpType, std::string* lpData, int32_t& lpcbData);
int32_t R2OpenKeyEx(int32_t hKey, const std::string& lpSubKey, int32_t ulOptions, int32_t samDesired,
                    int32_t& phkResult);
int32_t R2QueryByteValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t& lpType,
                           Bytes* lpData, int32_t& lpcbData);
// lpData is the data address itself: 0 asks for type and size only; any
// other address is not one of the service's and gets 998 (no access).
int32_t R2QueryByvalLongValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t& lpType,
                                int32_t lpData, int32_t& lpcbData);
int32_t R2QueryLongValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t& lpType,
                           int32_t& lpData, int32_t& lpcbData);
int32_t R2QueryStringValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t& lpType,
                             std::string* lpData, int32_t& lpcbData);
int32_t R2SetByteValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t dwType,
                         const Bytes& lpData, int32_t& lpcbData);
int32_t R2SetLongValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t dwType,
                         int32_t lpData, int32_t& lpcbData);
int32_t R2SetStringValueEx(int32_t hKey, const std::string& lpValueName, int32_t lpReserved, int32_t dwType,
                           const std::string& lpData, int32_t& lpcbData);

// ERROR_NOACCESS: an address the service cannot write to.
inline constexpr int32_t kErrorNoAccess = 998;

}  // namespace service::registry_proxy
