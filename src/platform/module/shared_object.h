// Shared objects loaded into the process (dlopen): opened once per path and
// never unloaded, because objects made by a library's code may outlive every
// reference the loader holds.
//
//   std::string error;
//   if (auto* library = OpenSharedObject("/usr/lib/x/plugin.so", &error)) {
//     auto* entry = FindSymbol(library, "HearthPluginCreate", &error);
//   }
#pragma once

#include <string>

namespace platform::module {

struct SharedObject;

// The library at the absolute path with every symbol resolved now, or null
// with the reason in `error` (missing file, not a shared object, a symbol it
// needs that the process lacks, ...). A file that group or others may write,
// or that belongs to anyone but root or the process's own user, is refused
// before it is opened: its code would run with the process's rights.
// Thread-safe.
SharedObject* OpenSharedObject(const std::string& path, std::string* error);

// The address of an exported symbol; null (with the reason) when missing.
void* FindSymbol(SharedObject* library, const char* name, std::string* error);

}  // namespace platform::module
