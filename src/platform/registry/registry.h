// The registry functions, with the Win32 argument orders, in/out sizes and
// result codes, over the machine's persistent hive <root>/registry.db.
//
//   HKEY key = 0;
//   if (RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Norvale", 0, kKeyRead, &key) == kErrorSuccess) {
//     DWORD type = 0, size = sizeof(buffer);
//     RegQueryValueExA(key, "installdir", nullptr, &type, buffer, &size);
//     RegCloseKey(key);
//   }
//
// Rules the whole family keeps:
// - Key paths are components joined by "\"; they are compared without regard
//   to ASCII case and kept as first written. A path must not start with "\"
//   nor hold an empty component (87); one trailing "\" is ignored.
// - Subkeys enumerate sorted by name without regard to ASCII case; values in
//   the order they were first written (rewriting keeps the place, deleting
//   and writing again moves it to the end). Both are stable while nothing is
//   written.
// - A handle stays valid until RegCloseKey, in every thread of the process,
//   also after its key is deleted (then calls on it return 1018). Handles are
//   multiples of 4 below 0x80000000 and are never reused by the process.
// - Name sizes (lpcchName, lpcchValueName) count bytes: in, the buffer size
//   including room for the NUL; out on success, the length without the NUL;
//   out on 234, the buffer size that would be needed (NUL included).
// - Data sizes (lpcbData) count the stored bytes; string values include their
//   terminating NUL when the writer included it, as Windows stores them. A
//   string type stored without it gets a NUL written after the data when the
//   buffer has room (the size stays the stored size). Asking the size of a
//   missing value (null data) sets it to 0.
// - A handle opened without a right gets 5 for calls needing it: query and
//   value enumeration need kKeyQueryValue, set and delete value kKeySetValue,
//   subkey enumeration kKeyEnumerateSubKeys. Creating or opening a subkey
//   needs no right on the parent handle, as on Windows. The predefined roots
//   have every right.
// - No call throws, from any thread; a hive that cannot be read or written
//   gives 1016 (170 when another process held it past the busy timeout).
#pragma once

#include <functional>
#include <string>

#include "platform/registry/registry_types.h"

namespace platform::registry {

// Opens `sub_key` below `key` (null or "" opens `key` itself again; for a
// predefined root that is the root value itself). 2 when missing.
LONG RegOpenKeyExA(HKEY key, const char* sub_key, DWORD options, REGSAM sam_desired, HKEY* result);

// Opens `sub_key`, creating it and every missing key on the way. `key_class`
// (may be null) is kept on a new key and reported by RegEnumKeyExA;
// `security_attributes` and the volatile option are accepted and ignored.
// `disposition` (may be null) receives kRegCreatedNewKey or kRegOpenedExistingKey.
LONG RegCreateKeyExA(HKEY key, const char* sub_key, DWORD reserved, const char* key_class, DWORD options,
                     REGSAM sam_desired, const void* security_attributes, HKEY* result, DWORD* disposition);

// Closes a handle (closing a predefined root is a no-op that succeeds).
LONG RegCloseKey(HKEY key);

// Deletes `sub_key` below `key` with its values ("" deletes `key` itself).
// 5 when it has subkeys or is a predefined root, 2 when missing.
LONG RegDeleteKeyA(HKEY key, const char* sub_key);

// Deletes `sub_key` with everything below it, in one transaction; with a null
// `sub_key`, deletes the values and subkeys of `key` and keeps `key`.
LONG RegDeleteTreeA(HKEY key, const char* sub_key);

// Deletes a value (null or "" is the key's default value). 2 when missing.
LONG RegDeleteValueA(HKEY key, const char* value_name);

// The name (and class) of the subkey at `index`; 259 past the last one.
// `class_name`/`class_size` and `last_write_time` may be null. The time
// reported is when the subkey was created.
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* name_size, DWORD* reserved, char* class_name,
                   DWORD* class_size, FILETIME* last_write_time);

// The value at `index`: its name, type and data; 259 past the last one.
// `type`, `data` and `data_size` may be null (data needs data_size).
LONG RegEnumValueA(HKEY key, DWORD index, char* value_name, DWORD* value_name_size, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* data_size);

// Reads a value (null or "" is the default value). With null `data`, only
// `type` and `data_size` are filled. `reserved` must be null.
LONG RegQueryValueExA(HKEY key, const char* value_name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* data_size);

// Writes `data_size` bytes of `data` as a value of `type` (any number), in
// one transaction. `reserved` must be 0.
LONG RegSetValueExA(HKEY key, const char* value_name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD data_size);

// Where the hive reports what callers cannot see in a result code: a damaged
// hive file moved aside, a hive that cannot be opened, a failed write. The
// service points it at its system log; until then messages go to stderr.
// Pass an empty function to restore that default.
void SetDiagnosticSink(std::function<void(const std::string&)> sink);

// Closes the hive and forgets every handle. The hive follows MachineRoot()
// by itself; this lets a test remove or damage the hive file and reopen it.
void ResetHiveForTesting();

}  // namespace platform::registry
