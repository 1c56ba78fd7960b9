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
// needs that the process lacks, ...). Its code would run with the process's
// rights, so only a file nobody else can change is loaded: the file is
// opened without following a link, checked on the open descriptor (a regular
// file, owned by root or the process's user, not writable by group or
// others) and loaded through that descriptor; every folder above it must
// pass the same owner and mode test (a sticky folder anyone may write, such
// as /tmp, only when the next component is root's). Its start-up code is
// tried first in a child process: a library whose static constructors throw,
// abort or exit there (which would end this process) is refused, with what
// the child wrote to its error output. Thread-safe; a library's constructors
// may open another library.
SharedObject* OpenSharedObject(const std::string& path, std::string* error);

// The address of an exported symbol; null (with the reason) when missing.
void* FindSymbol(SharedObject* library, const char* name, std::string* error);

}  // namespace platform::module
