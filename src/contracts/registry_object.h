// The registry object of the core support library: one open key at a time,
// string values read and written on it. Opening another key closes the one
// open before; the key closes with the object.
#pragma once

#include <string>

#include "platform/registry/registry_types.h"

namespace contracts {

using platform::registry::HKEY;
using platform::registry::REGSAM;

// The access masks the callers use.
inline constexpr REGSAM kRegistryRead = platform::registry::kKeyRead;             // 0x20019
inline constexpr REGSAM kRegistryFullAccess = platform::registry::kKeyAllAccess;  // 0xF003F

class RegistryObject {
 public:
  virtual ~RegistryObject() = default;

  // Opens root\path with the access mask; true when it opened.
  virtual bool OpenKey(HKEY root, const std::string& path, REGSAM access) = 0;
  // Opens root\path, creating it (and missing parents) when needed.
  virtual bool CreateKey(HKEY root, const std::string& path, REGSAM access) = 0;
  virtual bool IsOpen() const = 0;
  virtual void CloseKey() = 0;

  // The value as text (string values as they stand, numbers in decimal);
  // empty when no key is open or the value is missing.
  virtual std::string ReadString(const std::string& name) = 0;
  // Writes a string value; true when written.
  virtual bool WriteString(const std::string& name, const std::string& text) = 0;
  // Deletes a value; true when it existed and is gone.
  virtual bool DeleteValue(const std::string& name) = 0;

  // Grants the account full access to the open key; true when granted.
  virtual bool GrantFullAccess(const std::string& account) = 0;
};

}  // namespace contracts
