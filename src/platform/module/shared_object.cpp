#include "platform/module/shared_object.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>

namespace platform::module {

struct SharedObject {
  void* handle = nullptr;
};

namespace {

std::mutex& LibrariesMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

// Never destroyed, and the libraries never closed: code of a library may
// still run while the process exits (destructors of its objects).
std::map<std::string, SharedObject*>& Libraries() {
  static auto* libraries = new std::map<std::string, SharedObject*>;
  return *libraries;
}

std::string LastDlError(const char* fallback) {
  const char* text = dlerror();
  return text != nullptr ? text : fallback;
}

}  // namespace

SharedObject* OpenSharedObject(const std::string& path, std::string* error) {
  std::string reason;
  SharedObject* library = nullptr;
  {
    std::lock_guard lock(LibrariesMutex());
    if (auto it = Libraries().find(path); it != Libraries().end()) return it->second;
    struct stat info {};
    if (path.empty() || path.front() != '/') {
      reason = "the path is not absolute";
    } else if (::stat(path.c_str(), &info) != 0) {
      reason = "the file does not exist";
    } else if (!S_ISREG(info.st_mode)) {
      reason = "it is not a regular file";
    } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      // Its code would run with the service's rights: nobody else may be
      // able to change it.
      reason = "it is writable by group or others";
    } else if (info.st_uid != 0 && info.st_uid != ::geteuid()) {
      reason = "it is owned by another user (uid " + std::to_string(info.st_uid) + ")";
    } else {
      // dlerror is per thread, but the lock keeps the open and its message
      // together anyway.
      dlerror();
      void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) {
        reason = LastDlError("dlopen failed");
      } else {
        library = new SharedObject{handle};
        Libraries().emplace(path, library);
      }
    }
  }
  if (library == nullptr && error != nullptr) *error = reason;
  return library;
}

void* FindSymbol(SharedObject* library, const char* name, std::string* error) {
  if (library == nullptr || name == nullptr) {
    if (error != nullptr) *error = "no library";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(library->handle, name);
  if (address == nullptr && error != nullptr) *error = LastDlError("symbol not found");
  return address;
}

}  // namespace platform::module
