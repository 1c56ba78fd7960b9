// Folders and files reached without following symbolic links.
//
// Code that runs as root over folders that ordinary users own (backup and
// playback of store files) walks every path from an open folder descriptor,
// one name at a time, with O_NOFOLLOW: a link that a user plants anywhere on
// the way (a file replaced by a link to /etc/passwd, a folder by a link to
// /etc/cron.d) is refused instead of being followed to a place its owner
// could not write. Names are always single names inside an open folder, so
// a folder swapped for a link after it was opened changes nothing.
//
//   std::string refused;
//   Folder home = OpenFolderPath("/home/ann/d", LinkPolicy::kTrustRootMade, /*create=*/false, &refused);
//   Folder sub = OpenFolderBelow(home, "sub/deeper/", LinkPolicy::kRefuseAll, /*create=*/true, &refused);
//   int number = OpenFileIn(sub, "x", OpenMode::kOutput, Access::kDefault, Share::kDenyAll, &error, {.mode = 0600});
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/file_numbers.h"
#include "platform/fs/file_times.h"

namespace platform::fs {

enum class LinkPolicy {
  kRefuseAll,      // every link on the way is refused
  kTrustRootMade,  // a link only root could have made (root's own, in a folder only root may
                   // write) is followed; its target is walked by the same rules
};

enum class NodeKind { kMissing, kFile, kFolder, kLink, kOther };

// What lstat(2) says of one file system object.
struct NodeStatus {
  NodeKind kind = NodeKind::kMissing;
  uid_t uid = 0;
  gid_t gid = 0;
  mode_t mode = 0;  // permission bits with set-user, set-group and sticky (07777)
  int64_t size = 0;
  uint64_t links = 0;  // hard links
  FileClock::time_point modified;
};

// An open folder (a descriptor); closes on destruction. Not ok() when the
// open failed.
class Folder {
 public:
  Folder() = default;
  Folder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // The path it was reached by, for messages.
  const std::string& path() const { return path_; }
  NodeStatus Status() const;

 private:
  int fd_ = -1;
  std::string path_;
};

// Why a walk stopped: the path walked up to the part that stopped it, and the
// errno reason (ELOOP: a link; ENOTDIR: not a folder; ENOENT: missing).
struct WalkStop {
  std::string path;
  int error = 0;
};

// Opens the absolute `path` from "/" by the rules above. With `create`,
// missing folders are made (see MakeFolderIn). Not ok() on failure, with the
// reason in *stop (may be null).
Folder OpenFolderPath(const std::string& path, LinkPolicy links, bool create, WalkStop* stop = nullptr);

// Opens the relative `path` ("a/b/", "a/b" or empty for `base` itself) below
// `base` the same way.
Folder OpenFolderBelow(const Folder& base, std::string_view path, LinkPolicy links, bool create,
                       WalkStop* stop = nullptr);

// Opens the folder that holds the file `path` the way OpenFolderPath does
// (a relative path is taken from the current folder) and gives the file's
// own name in *name. Not ok() when the walk stops or `path` names no file.
Folder OpenFolderOf(const std::string& path, LinkPolicy links, std::string* name, WalkStop* stop = nullptr);

// Makes the folder `name` in `parent` for a restore: owned by the owner of
// `parent`, with `parent`'s permission bits, never wider than 0755 and never
// set-user or sticky. True when it exists afterwards as a folder (not a link).
bool MakeFolderIn(const Folder& parent, const std::string& name);

// lstat of `name` in `folder`.
NodeStatus StatusIn(const Folder& folder, const std::string& name);

// One entry of a folder listing, the way lstat sees it.
struct FolderItem {
  std::string name;
  NodeStatus status;
};

// The entries of `folder` whose names match `mask` (dir.h's rules), sorted
// byte-wise, without "." and "..". Links are listed as links, never as what
// they point to.
std::vector<FolderItem> ListFolder(const Folder& folder, std::string_view mask);

// Opens the file `name` in `folder` under a file number, as OpenFile does,
// refusing a link (and anything but a regular file) in its place.
int OpenFileIn(const Folder& folder, const std::string& name, OpenMode mode, Access access, Share share,
               int32_t* basic_error, CreateOptions options = {});

// Deletes the file `name` in `folder` as DeleteFile does: refused (false,
// errno EWOULDBLOCK) while another opener holds it with sharing denied, and
// a link there is removed itself, never its target.
bool DeleteFileIn(const Folder& folder, const std::string& name);

// Puts the finished file `from_name` of `from` in place of `to_name` in `to`
// for good: flushes it, renames it there as RenameGuardedAt does (never over
// a file held with sharing denied, never through a link) and flushes `to`.
// Across file systems it is first copied beside `to_name` under a name no
// one can guess, then renamed; `from_name` is then removed. False, with
// `to_name` untouched, when that fails.
bool ReplaceFileIn(const Folder& from, const std::string& from_name, const Folder& to, const std::string& to_name);

// unlinkat(2) of a file, or of an empty folder; never through a link.
bool RemoveFileIn(const Folder& folder, const std::string& name);
bool RemoveFolderIn(const Folder& folder, const std::string& name);

// renameat(2): moves `from_name` in `from` to `to_name` in `to` on the same
// file system. With `replace`, a file there is replaced (a link in its place
// is replaced, never followed); without, one that is there makes it fail.
bool RenameBetween(const Folder& from, const std::string& from_name, const Folder& to, const std::string& to_name,
                   bool replace);

// On an open file number: its status (fstat), a new owner and mode, a new
// last write time. False (nothing) when the number is not open or the call
// is refused; a process that may not give files away (not root) keeps the
// file its own and only sets the mode.
std::optional<NodeStatus> OpenFileStatus(int number);
bool SetOwnerAndMode(int number, uid_t uid, gid_t gid, mode_t mode);
bool SetModifiedTime(int number, FileClock::time_point when);

}  // namespace platform::fs
