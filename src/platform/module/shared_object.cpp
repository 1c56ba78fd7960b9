#include "platform/module/shared_object.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

bool TrustedOwner(uid_t uid) { return uid == 0 || uid == ::geteuid(); }

// Every folder from "/" down to `folder` (a resolved path) must be one only
// root or this process's user can change: owned by one of them and not
// writable by group or others. A sticky folder writable by all (/tmp) is
// accepted when the next component belongs to root, since nobody else may
// then rename or remove it. Empty when safe, else the reason.
std::string UnsafeFolder(const std::string& folder) {
  std::string current = "/";
  std::size_t at = 1;
  bool sticky_shared = false;
  for (;;) {
    struct stat info {};
    if (::stat(current.c_str(), &info) != 0) return "the folder " + current + " cannot be read";
    if (sticky_shared && info.st_uid != 0) {
      return "the folder " + current + " lies in a folder anyone may write and is not root's";
    }
    sticky_shared = false;
    if (!TrustedOwner(info.st_uid)) {
      return "the folder " + current + " is owned by another user (uid " + std::to_string(info.st_uid) + ")";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      if ((info.st_mode & S_ISVTX) == 0 || info.st_uid != 0) {
        return "the folder " + current + " is writable by group or others";
      }
      sticky_shared = true;
    }
    if (at >= folder.size()) break;
    const std::size_t end = folder.find('/', at);
    const std::size_t stop = end == std::string::npos ? folder.size() : end;
    if (current.back() != '/') current += '/';
    current.append(folder, at, stop - at);
    at = stop + 1;
  }
  return {};
}

// The checks of the file itself, on the open descriptor: the file that was
// checked is the file that is loaded.
std::string UnsafeFile(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::string("it cannot be read: ") + std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "it is not a regular file";
  // Its code would run with the service's rights: nobody else may be able
  // to change it.
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "it is writable by group or others";
  if (!TrustedOwner(info.st_uid)) return "it is owned by another user (uid " + std::to_string(info.st_uid) + ")";
  return {};
}

// Opens the library at `path` for loading, after checking every folder above
// it; -1 with the reason when it is not safe or not there.
int OpenChecked(const std::string& path, std::string* reason) {
  const std::size_t slash = path.rfind('/');
  const std::string name = path.substr(slash + 1);
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  if (name.empty() || name == "." || name == "..") {
    *reason = "the path does not name a file";
    return -1;
  }
  char resolved[PATH_MAX];
  if (::realpath(parent.c_str(), resolved) == nullptr) {
    *reason = "the file does not exist";
    return -1;
  }
  const std::string folder = resolved;
  if (std::string why = UnsafeFolder(folder); !why.empty()) {
    *reason = why;
    return -1;
  }
  const std::string file = (folder == "/" ? "" : folder) + "/" + name;
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) {
      *reason = "the file does not exist";
    } else if (errno == ELOOP) {
      *reason = "it is a symbolic link (register the file it names)";
    } else {
      *reason = std::string("it cannot be opened: ") + std::strerror(errno);
    }
    return -1;
  }
  if (std::string why = UnsafeFile(fd); !why.empty()) {
    ::close(fd);
    *reason = why;
    return -1;
  }
  return fd;
}

}  // namespace

SharedObject* OpenSharedObject(const std::string& path, std::string* error) {
  {
    std::lock_guard lock(LibrariesMutex());
    if (auto it = Libraries().find(path); it != Libraries().end()) return it->second;
  }
  std::string reason;
  if (path.empty() || path.front() != '/') {
    if (error != nullptr) *error = "the path is not absolute";
    return nullptr;
  }
  const int fd = OpenChecked(path, &reason);
  if (fd < 0) {
    if (error != nullptr) *error = reason;
    return nullptr;
  }
  // Loaded through the checked descriptor, so nobody can swap the file
  // between the check and the load. The loader's own lock is not held here:
  // a library's constructors may load another library through this very
  // function. (dlopen serialises itself, and opening one file twice gives
  // the same handle.)
  const std::string through = "/proc/self/fd/" + std::to_string(fd);
  dlerror();
  void* handle = dlopen(through.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    // The loader names the descriptor's path; the caller knows the file.
    reason = LastDlError("dlopen failed");
    if (reason.starts_with(through)) reason.replace(0, through.size(), path);
  }
  if (handle == nullptr) {
    ::close(fd);
    if (::access("/proc/self/fd", F_OK) != 0) reason = "/proc is not mounted, so the checked file cannot be loaded";
    if (error != nullptr) *error = reason;
    return nullptr;
  }
  // The descriptor stays open for good, like the library: the dynamic loader
  // knows the library by the name "/proc/self/fd/N", and a later library
  // opened under a reused number would be taken for this one.
  std::lock_guard lock(LibrariesMutex());
  auto [it, added] = Libraries().emplace(path, nullptr);
  if (added) it->second = new SharedObject{handle};
  return it->second;
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
