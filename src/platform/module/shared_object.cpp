#include "platform/module/shared_object.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

// What a probe's child process says when its dlopen itself failed: the
// real load then fails the same way and reports the loader's reason.
constexpr int kProbeNotLoaded = 121;
// How much of what the child wrote to its error output is kept.
constexpr std::size_t kProbeWordsKept = 2048;

// The child's last words, on one line: its lines trimmed and joined by
// "; " ("terminate called after throwing an instance of 'X'; what(): ...").
std::string OneLine(const std::string& text) {
  std::string joined;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::size_t first = text.find_first_not_of(" \t\r", at);
    if (first != std::string::npos && first < end) {
      const std::size_t last = text.find_last_not_of(" \t\r", end - 1);
      if (!joined.empty()) joined += "; ";
      joined.append(text, first, last + 1 - first);
    }
    at = end + 1;
  }
  return joined;
}

// A probe whose child has not ended by then is given up, and the library
// refused: its start-up code would hang the service the same way.
constexpr std::chrono::seconds kProbeLimit{30};

// A library's start-up code (its static constructors) runs inside dlopen,
// where nothing can contain it: an exception out of it is std::terminate,
// and an abort or exit there ends the whole service. So the library is
// first loaded in a child process, which then leaves at once; only a
// library whose start-up code came through there is loaded here. Empty when
// it did, else why not, with what the child wrote to its error output.
std::string ProbeStartUpCode(const std::string& through) {
  int words[2];
  if (::pipe2(words, O_CLOEXEC) != 0) {
    return std::string("it could not be tried in a separate process first: ") + std::strerror(errno);
  }
  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(words[0]);
    ::close(words[1]);
    return std::string("it could not be tried in a separate process first: ") + std::strerror(error);
  }
  if (child == 0) {
    ::dup2(words[1], STDERR_FILENO);
    void* handle = dlopen(through.c_str(), RTLD_NOW | RTLD_LOCAL);
    ::_exit(handle != nullptr ? 0 : kProbeNotLoaded);
  }
  ::close(words[1]);
  ::fcntl(words[0], F_SETFL, O_NONBLOCK);
  // Waits for the child itself, not for the end of its output: whatever it
  // started may hold the pipe open for longer.
  const auto deadline = std::chrono::steady_clock::now() + kProbeLimit;
  std::string said;
  int status = 0;
  bool ended = false, open = true;
  char buffer[512];
  while (!ended) {
    if (open) {
      pollfd wait_for{words[0], POLLIN, 0};
      ::poll(&wait_for, 1, 20);
      for (;;) {
        const ssize_t got = ::read(words[0], buffer, sizeof buffer);
        if (got > 0) {
          said.append(buffer, static_cast<std::size_t>(got));
          if (said.size() > kProbeWordsKept) said.erase(0, said.size() - kProbeWordsKept);
          continue;
        }
        if (got == 0) open = false;
        break;
      }
    } else {
      ::usleep(5000);
    }
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) {
      ended = true;
    } else if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      ::close(words[0]);
      return "its start-up code had not finished after " + std::to_string(kProbeLimit.count()) +
             " seconds when tried in a separate process";
    }
  }
  while (open) {
    const ssize_t got = ::read(words[0], buffer, sizeof buffer);
    if (got <= 0) break;
    said.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(words[0]);
  if (said.size() > kProbeWordsKept) said.erase(0, said.size() - kProbeWordsKept);
  if (WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == kProbeNotLoaded)) return {};
  std::string why = "its start-up code ended the process that tried it (";
  if (WIFSIGNALED(status)) {
    const char* name = ::strsignal(WTERMSIG(status));
    why += "signal " + std::to_string(WTERMSIG(status)) + (name != nullptr ? std::string(", ") + name : "") + ")";
  } else {
    why += "exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
  }
  const std::string words_said = OneLine(said);
  if (!words_said.empty()) why += ": " + words_said;
  return why;
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
  if (std::string why = ProbeStartUpCode(through); !why.empty()) {
    ::close(fd);
    if (error != nullptr) *error = why;
    return nullptr;
  }
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
