#include "platform/fs/no_follow.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <random>

#include "platform/basic/err.h"
#include "platform/fs/dir.h"
#include "platform/fs/guarded_replace.h"
#include "platform/fs/open_file_table.h"
#include "platform/fs/sharing.h"
#include "platform/fs/temp_sibling.h"

namespace platform::fs {
namespace {

// As many links as the kernel itself follows in one path.
constexpr int kMaxLinks = 40;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

NodeStatus StatusOf(const struct stat& st) {
  NodeStatus status;
  status.kind = S_ISREG(st.st_mode)   ? NodeKind::kFile
                : S_ISDIR(st.st_mode) ? NodeKind::kFolder
                : S_ISLNK(st.st_mode) ? NodeKind::kLink
                                      : NodeKind::kOther;
  status.uid = st.st_uid;
  status.gid = st.st_gid;
  status.mode = st.st_mode & 07777;
  status.size = static_cast<int64_t>(st.st_size);
  status.links = static_cast<uint64_t>(st.st_nlink);
  status.modified = FileClock::time_point(std::chrono::duration_cast<FileClock::duration>(
      std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
  return status;
}

// One name, never a path: a "/" in it would walk through folders unchecked.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::deque<std::string> PartsOf(std::string_view path) {
  std::deque<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

std::string Joined(const std::string& folder, std::string_view name) {
  if (folder.empty() || folder.ends_with('/')) return folder + std::string(name);
  return folder + "/" + std::string(name);
}

// A link in `folder` that no one but root could have made or changed.
bool IsRootMadeLink(const Folder& folder, const NodeStatus& link) {
  const NodeStatus parent = folder.Status();
  return link.uid == 0 && parent.uid == 0 && (parent.mode & (S_IWGRP | S_IWOTH)) == 0;
}

Folder Walk(Folder current, std::deque<std::string> parts, LinkPolicy links, bool create, bool beneath,
            WalkStop* stop) {
  auto stopped = [&](const std::string& where, int error) {
    if (stop != nullptr) *stop = WalkStop{where, error};
    return Folder();
  };
  if (!current.ok()) return stopped(current.path(), errno);
  int followed = 0;
  while (!parts.empty()) {
    const std::string name = std::move(parts.front());
    parts.pop_front();
    const std::string where = Joined(current.path(), name);
    if (name == "..") {
      // Only a trusted link's target may climb; below a base it would leave it.
      if (beneath) return stopped(where, EPERM);
      Folder up(::openat(current.fd(), "..", kFolderFlags), where);
      if (!up.ok()) return stopped(where, errno);
      current = std::move(up);
      continue;
    }
    if (name.find('\0') != std::string::npos) return stopped(where, EINVAL);
    int fd = ::openat(current.fd(), name.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENOENT && create) {
      if (!MakeFolderIn(current, name)) return stopped(where, errno != 0 ? errno : EACCES);
      fd = ::openat(current.fd(), name.c_str(), kFolderFlags);
    }
    if (fd >= 0) {
      current = Folder(fd, where);
      continue;
    }
    const int error = errno;
    if (error == ENOENT) return stopped(where, ENOENT);
    const NodeStatus status = StatusIn(current, name);
    if (status.kind != NodeKind::kLink) return stopped(where, status.kind == NodeKind::kMissing ? error : ENOTDIR);
    if (links != LinkPolicy::kTrustRootMade || !IsRootMadeLink(current, status) || ++followed > kMaxLinks) {
      return stopped(where, ELOOP);
    }
    std::string target(static_cast<size_t>(std::max<int64_t>(status.size, 0)) + 1, '\0');
    const ssize_t length = ::readlinkat(current.fd(), name.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<size_t>(length) >= target.size()) return stopped(where, ELOOP);
    target.resize(static_cast<size_t>(length));
    std::deque<std::string> next = PartsOf(target);
    next.insert(next.end(), parts.begin(), parts.end());
    parts = std::move(next);
    if (target.starts_with('/')) {
      current = Folder(::open("/", kFolderFlags), "/");
      if (!current.ok()) return stopped("/", errno);
    }
  }
  return current;
}

}  // namespace

Folder::~Folder() {
  if (fd_ >= 0) ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

NodeStatus Folder::Status() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return {};
  return StatusOf(st);
}

Folder OpenFolderPath(const std::string& path, LinkPolicy links, bool create, WalkStop* stop) {
  if (!path.starts_with('/')) {
    if (stop != nullptr) *stop = WalkStop{path, EINVAL};
    return {};
  }
  return Walk(Folder(::open("/", kFolderFlags), "/"), PartsOf(path), links, create, /*beneath=*/false, stop);
}

Folder OpenFolderBelow(const Folder& base, std::string_view path, LinkPolicy links, bool create, WalkStop* stop) {
  if (!base.ok()) {
    if (stop != nullptr) *stop = WalkStop{base.path(), EBADF};
    return {};
  }
  Folder start(::openat(base.fd(), ".", kFolderFlags), base.path());
  return Walk(std::move(start), PartsOf(path), links, create, /*beneath=*/true, stop);
}

Folder OpenFolderOf(const std::string& path, LinkPolicy links, std::string* name, WalkStop* stop) {
  std::string whole = path;
  if (!whole.starts_with('/')) {
    std::string here(4096, '\0');
    if (::getcwd(here.data(), here.size()) == nullptr) {
      if (stop != nullptr) *stop = WalkStop{path, errno};
      return {};
    }
    here.resize(std::char_traits<char>::length(here.c_str()));
    whole = Joined(here, path);
  }
  const size_t slash = whole.rfind('/');
  std::string leaf = whole.substr(slash + 1);
  if (!IsPlainName(leaf)) {
    if (stop != nullptr) *stop = WalkStop{path, EISDIR};
    return {};
  }
  Folder folder = OpenFolderPath(slash == 0 ? "/" : whole.substr(0, slash), links, /*create=*/false, stop);
  if (folder.ok() && name != nullptr) *name = std::move(leaf);
  return folder;
}

bool MakeFolderIn(const Folder& parent, const std::string& name) {
  if (!parent.ok() || !IsPlainName(name)) {
    errno = EINVAL;
    return false;
  }
  const NodeStatus owner = parent.Status();
  const bool made_now = ::mkdirat(parent.fd(), name.c_str(), owner.mode & 0755) == 0;
  if (!made_now && errno != EEXIST) return false;
  Folder made(::openat(parent.fd(), name.c_str(), kFolderFlags), Joined(parent.path(), name));
  if (!made.ok()) return false;
  const NodeStatus now = made.Status();
  // Only a folder made just now is given away; one that was there keeps its owner.
  if (made_now && (now.uid != owner.uid || now.gid != owner.gid)) {
    if (::fchown(made.fd(), owner.uid, owner.gid) != 0 && errno != EPERM) return false;
  }
  // The mode is the parent's, not what the service's umask (0027 in its
  // unit) leaves of it; a set-group bit the folder inherited stays.
  const mode_t wanted = (owner.mode & 0755) | (now.mode & S_ISGID);
  if (made_now && (now.mode & 07777) != wanted && ::fchmod(made.fd(), wanted) != 0) return false;
  return true;
}

NodeStatus StatusIn(const Folder& folder, const std::string& name) {
  struct stat st {};
  if (!folder.ok() || name.find('\0') != std::string::npos ||
      ::fstatat(folder.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return {};
  }
  return StatusOf(st);
}

std::vector<FolderItem> ListFolder(const Folder& folder, std::string_view mask) {
  std::vector<FolderItem> items;
  if (!folder.ok()) return items;
  // A description of its own: the folder's descriptor keeps its position.
  const int fd = ::openat(folder.fd(), ".", kFolderFlags);
  if (fd < 0) return items;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), &::closedir);
  if (!dir) {
    ::close(fd);
    return items;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    items.push_back({std::string(name), StatusOf(st)});
  }
  std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
  return items;
}

int OpenFileIn(const Folder& folder, const std::string& name, OpenMode mode, Access access, Share share,
               int32_t* basic_error, CreateOptions options) {
  int32_t error = 0;
  int number = 0;
  if (!folder.ok() || !IsPlainName(name)) {
    error = kErrPathFileAccess;
  } else {
    options.no_follow = true;
    auto file = OpenStateAt(folder.fd(), name, Joined(folder.path(), name), mode, access, share, options, &error);
    number = file ? InstallOpenFile(0, std::move(file), &error) : 0;
  }
  if (basic_error != nullptr) *basic_error = number != 0 ? 0 : error;
  return number;
}

bool DeleteFileIn(const Folder& folder, const std::string& name) {
  if (!folder.ok() || !IsPlainName(name)) {
    errno = EINVAL;
    return false;
  }
  int error = 0;
  // Held shared while it goes: an opener that denies sharing refuses it.
  const int guard = OpenWithSharingAt(folder.fd(), name, Joined(folder.path(), name), O_RDONLY | O_NOFOLLOW, 0,
                                      Share::kShared, &error);
  if (guard < 0 && error == EWOULDBLOCK) {
    errno = EWOULDBLOCK;
    return false;
  }
  const bool removed = ::unlinkat(folder.fd(), name.c_str(), 0) == 0;
  const int saved = errno;
  if (guard >= 0) ::close(guard);
  errno = saved;
  return removed;
}

namespace {

// A copy of `from_name` beside `to_name` in `to`, flushed; its name, or
// empty on failure (nothing left behind).
std::string CopyBeside(const Folder& from, const std::string& from_name, const Folder& to, const std::string& to_name) {
  const int source = ::openat(from.fd(), from_name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (source < 0) return {};
  std::random_device random;
  char unique[20];
  std::snprintf(unique, sizeof unique, "%08x%08x", random(), random());
  std::string name = "." + to_name + "." + unique;
  if (name.size() > 255) name = std::string(".") + unique;
  const int target = ::openat(to.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool copied = target >= 0;
  std::string block(1 << 20, '\0');
  while (copied) {
    const ssize_t got = ::read(source, block.data(), block.size());
    if (got == 0) break;
    if (got < 0) {
      copied = errno == EINTR;
      continue;
    }
    copied = WriteAll(target, std::string_view(block.data(), static_cast<size_t>(got)));
  }
  if (target >= 0) copied = ::fsync(target) == 0 && ::close(target) == 0 && copied;
  ::close(source);
  if (!copied) {
    if (target >= 0) ::unlinkat(to.fd(), name.c_str(), 0);
    return {};
  }
  return name;
}

bool SyncFolderIn(const Folder& folder) { return ::fsync(folder.fd()) == 0; }

}  // namespace

bool ReplaceFileIn(const Folder& from, const std::string& from_name, const Folder& to, const std::string& to_name) {
  if (!from.ok() || !to.ok() || !IsPlainName(from_name) || !IsPlainName(to_name)) return false;
  const int file = ::openat(from.fd(), from_name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (file < 0) return false;
  const bool synced = ::fsync(file) == 0;
  ::close(file);
  if (!synced) return false;
  if (RenameGuardedAt(from.fd(), from_name, to.fd(), to_name, /*replace=*/true)) return SyncFolderIn(to);
  if (errno != EXDEV) return false;
  const std::string beside = CopyBeside(from, from_name, to, to_name);
  if (beside.empty()) return false;
  if (!RenameGuardedAt(to.fd(), beside, to.fd(), to_name, /*replace=*/true)) {
    ::unlinkat(to.fd(), beside.c_str(), 0);
    return false;
  }
  ::unlinkat(from.fd(), from_name.c_str(), 0);
  return SyncFolderIn(to);
}

bool RemoveFileIn(const Folder& folder, const std::string& name) {
  return folder.ok() && IsPlainName(name) && ::unlinkat(folder.fd(), name.c_str(), 0) == 0;
}

bool RemoveFolderIn(const Folder& folder, const std::string& name) {
  return folder.ok() && IsPlainName(name) && ::unlinkat(folder.fd(), name.c_str(), AT_REMOVEDIR) == 0;
}

bool RenameBetween(const Folder& from, const std::string& from_name, const Folder& to, const std::string& to_name,
                   bool replace) {
  if (!from.ok() || !to.ok() || !IsPlainName(from_name) || !IsPlainName(to_name)) return false;
  if (replace) return ::renameat(from.fd(), from_name.c_str(), to.fd(), to_name.c_str()) == 0;
  if (::renameat2(from.fd(), from_name.c_str(), to.fd(), to_name.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // No RENAME_NOREPLACE on this file system: look first.
  if (StatusIn(to, to_name).kind != NodeKind::kMissing) return false;
  return ::renameat(from.fd(), from_name.c_str(), to.fd(), to_name.c_str()) == 0;
}

std::optional<NodeStatus> OpenFileStatus(int number) {
  auto file = FindOpenFile(number);
  struct stat st {};
  if (!file || ::fstat(file->fd, &st) != 0) return std::nullopt;
  return StatusOf(st);
}

bool SetOwnerAndMode(int number, uid_t uid, gid_t gid, mode_t mode) {
  auto file = FindOpenFile(number);
  struct stat st {};
  if (!file || ::fstat(file->fd, &st) != 0) return false;
  // The owner first: a change of owner clears set-user and set-group bits.
  const bool new_owner = st.st_uid != uid || st.st_gid != gid;
  // Without the right to give files away (not root) the file stays ours.
  if (new_owner && ::fchown(file->fd, uid, gid) != 0 && errno != EPERM) return false;
  return (!new_owner && (st.st_mode & 07777) == mode) || ::fchmod(file->fd, mode) == 0;
}

bool SetModifiedTime(int number, FileClock::time_point when) {
  auto file = FindOpenFile(number);
  if (!file) return false;
  const std::array<struct timespec, 2> times = LastWriteTimeOnly(when);
  return ::futimens(file->fd, times.data()) == 0;
}

}  // namespace platform::fs
