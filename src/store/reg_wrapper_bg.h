// modRegWrapperBg: the registry functions as backup and playback call them,
// each a pass-through that returns the Win32 result code.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry/registry_types.h"

namespace store::modRegWrapperBg {

using platform::registry::DWORD;
using platform::registry::HKEY;
using platform::registry::LONG;

LONG RegFacetCreateKeyEx(HKEY hKey, const std::string& lpSubKey, DWORD Reserved, const std::string& lpClass,
                         DWORD dwOptions, DWORD samDesired, HKEY* phkResult, DWORD* lpdwDisposition);
LONG RegFacetOpenKeyEx(HKEY hKey, const std::string& lpSubKey, DWORD ulOptions, DWORD samDesired, HKEY* phkResult);
LONG RegFacetCloseKey(HKEY hKey);
// Three forms of RegSetValueExA: text data (cbData bytes of it), data at a
// given address, byte-array data.
LONG RegFacetSetValueExString(HKEY hKey, const std::string& lpValueName, DWORD dwType, const std::string& lpData,
                              DWORD cbData);
LONG RegFacetSetValueExAddress(HKEY hKey, const std::string& lpValueName, DWORD dwType, const void* lpData,
                               DWORD cbData);
LONG RegFacetSetValueExBytes(HKEY hKey, const std::string& lpValueName, DWORD dwType, const uint8_t* lpData,
                             DWORD cbData);
LONG RegFacetDeleteKey(HKEY hKey, const std::string& lpSubKey);
// The subkey's name at dwIndex (the last-write time is not asked for).
LONG RegFacetEnumKeyEx(HKEY hKey, DWORD dwIndex, std::string& lpName, DWORD& lpcbName);
// Three forms of RegEnumValueA: data into text, at a given address, into a
// byte buffer. Null data asks for the type and size only.
LONG RegFacetEnumValueString(HKEY hKey, DWORD dwIndex, std::string& lpValueName, DWORD& lpcbValueName,
                             DWORD& lpType, std::string* lpData, DWORD& lpcbData);
LONG RegFacetEnumValueAddress(HKEY hKey, DWORD dwIndex, std::string& lpValueName, DWORD& lpcbValueName,
                              DWORD& lpType, void* lpData, DWORD* lpcbData);
LONG RegFacetEnumValueBytes(HKEY hKey, DWORD dwIndex, std::string& lpValueName, DWORD& lpcbValueName,
                            DWORD& lpType, uint8_t* lpData, DWORD* lpcbData);

}  // namespace store::modRegWrapperBg
