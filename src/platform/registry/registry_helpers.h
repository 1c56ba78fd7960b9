// Convenience over the registry functions for the rest of the system: whole
// values read and written by key path in one call, existence, tree deletion,
// and listings. Every function opens and closes its own handle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_types.h"

namespace platform::registry {

struct RegValue {
  std::string name;
  DWORD type = kRegNone;
  std::string data;  // the raw stored bytes
};

// The raw value. 0, or the Win32 code of the failure (2 missing key or value).
LONG ReadValue(HKEY root, std::string_view key_path, std::string_view name, RegValue* value);
// Writes raw bytes, creating the key and its parents.
LONG WriteValue(HKEY root, std::string_view key_path, std::string_view name, DWORD type, std::string_view data);

// A REG_SZ or REG_EXPAND_SZ value without its terminating NUL(s); empty when
// missing or of another type.
std::optional<std::string> ReadStringValue(HKEY root, std::string_view key_path, std::string_view name);
// Writes text as REG_SZ (or REG_EXPAND_SZ) with its terminating NUL.
LONG WriteStringValue(HKEY root, std::string_view key_path, std::string_view name, std::string_view text,
                      DWORD type = kRegSz);

// A REG_DWORD value; empty when missing or of another type or size.
std::optional<uint32_t> ReadDwordValue(HKEY root, std::string_view key_path, std::string_view name);
LONG WriteDwordValue(HKEY root, std::string_view key_path, std::string_view name, uint32_t number);

// A REG_QWORD value; empty when missing or of another type or size.
std::optional<uint64_t> ReadQwordValue(HKEY root, std::string_view key_path, std::string_view name);
LONG WriteQwordValue(HKEY root, std::string_view key_path, std::string_view name, uint64_t number);

// True when the key exists ("" is the root itself).
bool KeyExists(HKEY root, std::string_view key_path);
// Creates the key and its parents. 0 also when it existed.
LONG CreateKey(HKEY root, std::string_view key_path);
// Deletes one value. 2 when missing.
LONG DeleteValue(HKEY root, std::string_view key_path, std::string_view name);
// Deletes the key with every subkey and value below it. 2 when missing,
// 5 for a root key.
LONG DeleteKeyTree(HKEY root, std::string_view key_path);

// Names of the direct subkeys, and the values, in enumeration order.
LONG ListSubkeys(HKEY root, std::string_view key_path, std::vector<std::string>* names);
LONG ListValues(HKEY root, std::string_view key_path, std::vector<RegValue>* values);

}  // namespace platform::registry
