// Plug-in classes from shared objects: a ProgID that no built-in class
// serves is looked up in the registry hive, under HKEY_CLASSES_ROOT the key
// "<ProgID>\InprocServer32", whose default value is the absolute path of
// the library.
// The library is loaded into the service process and asked, through its one
// entry point (hearth/plugin_abi.h), for an object of that ProgID.
//
//   plugins::loader::RegisterPluginLibrary("Sample.Counter", "/opt/x/counter.so");
//   plugins::loader::InstallSharedObjectLoader();
//   ObjectPtr plugin = platform::com::CreateObject("Sample.Counter");
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/com/object_fwd.h"
#include "platform/registry/registry_types.h"

namespace plugins::loader {

// "<ProgID>\InprocServer32" below HKEY_CLASSES_ROOT.
std::string ServerKeyPath(std::string_view progid);

// The library path registered for the ProgID; nullopt when the ProgID is not
// registered (no key, or no default value).
std::optional<std::string> RegisteredLibrary(std::string_view progid);

// Registry writes for the administration tool. Win32 codes (0 success; 87 for
// an empty ProgID, one holding "\" or a path that is not absolute; 2 when
// unregistering a ProgID that is not registered).
platform::registry::LONG RegisterPluginLibrary(std::string_view progid, std::string_view path);
platform::registry::LONG UnregisterPluginLibrary(std::string_view progid);

// Creates the ProgID's object from its registered library. Nothing when the
// ProgID is not registered; raises 429 with a description of what failed
// (missing file, not a shared object, no entry point, another SDK version,
// a class the library does not make, a factory that failed or made nothing).
platform::com::ObjectPtr CreateFromLibrary(std::string_view progid);

// Makes CreateObject use CreateFromLibrary for ProgIDs nobody registered in
// the process (chained before any hook already installed). Once per process;
// later calls do nothing.
void InstallSharedObjectLoader();

}  // namespace plugins::loader
