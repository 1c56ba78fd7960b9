// Key paths as people and tools write them: a root name, then the subkey,
// "HKLM\SOFTWARE\Norvale" or "HKEY_LOCAL_MACHINE\SOFTWARE\Norvale".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/registry_types.h"

namespace platform::registry {

struct RootedKeyPath {
  HKEY root = 0;
  std::string sub_key;  // "" for the root itself; no leading or trailing "\"
};

// Splits "HKLM\SOFTWARE\x" into the root and "SOFTWARE\x". Root names (long
// or short: HKEY_CLASSES_ROOT/HKCR, HKEY_CURRENT_USER/HKCU,
// HKEY_LOCAL_MACHINE/HKLM, HKEY_USERS/HKU) are matched without regard to case.
// Empty when the root is unknown or the subkey holds an empty component.
std::optional<RootedKeyPath> ParseRootedKeyPath(std::string_view text);

// "HKEY_LOCAL_MACHINE" for kHkeyLocalMachine ...; "" for any other handle.
std::string_view RootKeyName(HKEY root);

// "REG_SZ", "REG_DWORD" ... for the known types; "" for any other number.
std::string_view ValueTypeName(DWORD type);

}  // namespace platform::registry
