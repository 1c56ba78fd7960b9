// The Win32 vocabulary of the registry: handle and integer types, predefined
// root keys, result codes, value types and access rights, with the numbers
// Windows gives them so that callers, stored data and proxies can rely on them.
#pragma once

#include <cstdint>

namespace platform::registry {

using HKEY = uint32_t;  // a key handle: a predefined root or a handle from open/create
using DWORD = uint32_t;
using LONG = int32_t;
using REGSAM = uint32_t;
using BYTE = uint8_t;

// 100-nanosecond intervals since 1 January 1601 (UTC), split in two halves.
struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

// Predefined root keys (HKEY_CLASSES_ROOT ... HKEY_USERS).
inline constexpr HKEY kHkeyClassesRoot = 0x80000000u;
inline constexpr HKEY kHkeyCurrentUser = 0x80000001u;
inline constexpr HKEY kHkeyLocalMachine = 0x80000002u;
inline constexpr HKEY kHkeyUsers = 0x80000003u;

// Result codes.
inline constexpr LONG kErrorSuccess = 0;
inline constexpr LONG kErrorFileNotFound = 2;       // missing key or value
inline constexpr LONG kErrorAccessDenied = 5;       // key has subkeys, root key, handle lacks the right
inline constexpr LONG kErrorInvalidHandle = 6;      // closed, unknown or garbage handle
inline constexpr LONG kErrorOutOfMemory = 14;
inline constexpr LONG kErrorDiskFull = 112;
inline constexpr LONG kErrorInvalidParameter = 87;  // null or malformed argument
inline constexpr LONG kErrorBusy = 170;             // another process held the hive too long
inline constexpr LONG kErrorMoreData = 234;         // buffer too small; required size written back
inline constexpr LONG kErrorNoMoreItems = 259;      // enumeration index past the end
inline constexpr LONG kErrorRegistryCorrupt = 1015;
inline constexpr LONG kErrorRegistryIoFailed = 1016;  // the hive file cannot be read or written
inline constexpr LONG kErrorKeyDeleted = 1018;      // the handle's key was deleted meanwhile
inline constexpr LONG kErrorNoSystemResources = 1450;  // every handle number was handed out

// Value types (REG_SZ ...). Any other number is stored and returned as given.
inline constexpr DWORD kRegNone = 0;
inline constexpr DWORD kRegSz = 1;
inline constexpr DWORD kRegExpandSz = 2;
inline constexpr DWORD kRegBinary = 3;
inline constexpr DWORD kRegDword = 4;
inline constexpr DWORD kRegDwordBigEndian = 5;
inline constexpr DWORD kRegLink = 6;
inline constexpr DWORD kRegMultiSz = 7;
inline constexpr DWORD kRegQword = 11;

// Access rights (samDesired). Generic rights are mapped onto key rights.
inline constexpr REGSAM kKeyQueryValue = 0x0001;
inline constexpr REGSAM kKeySetValue = 0x0002;
inline constexpr REGSAM kKeyCreateSubKey = 0x0004;
inline constexpr REGSAM kKeyEnumerateSubKeys = 0x0008;
inline constexpr REGSAM kKeyNotify = 0x0010;
inline constexpr REGSAM kKeyCreateLink = 0x0020;
inline constexpr REGSAM kKeyWow6464Key = 0x0100;
inline constexpr REGSAM kKeyWow6432Key = 0x0200;
inline constexpr REGSAM kDelete = 0x00010000;
inline constexpr REGSAM kReadControl = 0x00020000;
inline constexpr REGSAM kKeyRead = 0x00020019;
inline constexpr REGSAM kKeyWrite = 0x00020006;
inline constexpr REGSAM kKeyExecute = kKeyRead;
inline constexpr REGSAM kKeyAllAccess = 0x000F003F;
inline constexpr REGSAM kMaximumAllowed = 0x02000000;
inline constexpr REGSAM kGenericAll = 0x10000000;
inline constexpr REGSAM kGenericExecute = 0x20000000;
inline constexpr REGSAM kGenericWrite = 0x40000000;
inline constexpr REGSAM kGenericRead = 0x80000000;

// RegCreateKeyExA dispositions and options.
inline constexpr DWORD kRegCreatedNewKey = 1;
inline constexpr DWORD kRegOpenedExistingKey = 2;
inline constexpr DWORD kRegOptionNonVolatile = 0;
inline constexpr DWORD kRegOptionVolatile = 1;

// Limits, in bytes of the ANSI (UTF-8) name without its terminating NUL.
inline constexpr DWORD kMaxKeyNameLength = 255;
inline constexpr DWORD kMaxValueNameLength = 16383;

}  // namespace platform::registry
