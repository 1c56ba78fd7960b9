// LoadTypeLib and RegisterTypeLib: a type library file read and validated,
// then recorded in the hive where clients look for it:
//
//   HKEY_CLASSES_ROOT\TypeLib\{LIBID}\<major>.<minor>         = library name
//       FLAGS = "0", HELPDIR = help folder, <lcid>\win32 = file path
//   HKEY_CLASSES_ROOT\Interface\{IID}                        = interface name
//       TypeLib = {LIBID} (and "Version" = "<major>.<minor>"),
//       ProxyStubClsid32 = the automation marshaller
//
// Versions and the locale are written in lower-case hex, as Windows writes
// them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/typelib/type_library.h"

namespace platform::typelib {

using HRESULT = int32_t;

inline constexpr HRESULT kSOk = 0;
inline constexpr HRESULT kTypeErrRegistryAccess = static_cast<HRESULT>(0x8002801C);
inline constexpr HRESULT kTypeErrInvalidDataRead = static_cast<HRESULT>(0x80028018);
inline constexpr HRESULT kTypeErrUnsupportedFormat = static_cast<HRESULT>(0x80028019);
inline constexpr HRESULT kTypeErrCantLoadLibrary = static_cast<HRESULT>(0x80029C4A);

// The automation marshaller's class, which proxies the interfaces of a
// registered type library.
inline constexpr char kAutomationMarshaller[] = "{00020424-0000-0000-C000-000000000046}";

// Reads and validates the file at `path`. S_OK with *library filled; the
// unreadable file gives kTypeErrCantLoadLibrary, another format
// kTypeErrUnsupportedFormat, a damaged or truncated one
// kTypeErrInvalidDataRead. *reason (may be null) says why.
HRESULT LoadTypeLib(const std::string& path, TypeLibrary* library, std::string* reason = nullptr);

// Records the library as loaded from `path`, with `help_folder` ("" for
// none). kTypeErrRegistryAccess when the hive cannot be written.
HRESULT RegisterTypeLib(const TypeLibrary& library, const std::string& path, const std::string& help_folder);

// "<major>.<minor>" as the TypeLib key names it ("1.0", "2.a").
std::string VersionKeyName(const TypeLibrary& library);

}  // namespace platform::typelib
