// Writing a file into place: the new contents go to a hidden, uniquely named
// file in the target's folder (".NAME.tmp-PID-N"), are flushed, and the file
// is then renamed onto the target, so the target is always the old or the
// complete new file. Work files of writers that were killed are swept from
// the folder when it is next written (stale_siblings.h).
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace platform::fs {

class TempSibling {
 public:
  // Creates the empty work file beside `target`; ok() tells whether it could.
  // `mode` of -1 leaves the permission bits to the umask.
  explicit TempSibling(const std::string& target, int mode = -1);
  ~TempSibling();  // removes the work file unless committed
  TempSibling(const TempSibling&) = delete;
  TempSibling& operator=(const TempSibling&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool Write(std::string_view data);
  // Copies everything from `source_fd` (read to its end).
  bool CopyFrom(int source_fd);
  // Flushes the data, renames onto the target (never replacing an existing
  // target when `replace` is false, nor one held with sharing denied; see
  // guarded_replace.h) and flushes the folder. False when any step fails.
  bool Commit(bool replace);

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
};

// Writes all of `data` to `fd`, carrying on after short writes.
bool WriteAll(int fd, std::string_view data);

// fsync of a folder's entries. False when it fails, also when the folder
// cannot be opened; true where the file system cannot flush folders at all
// (EINVAL, ENOTSUP).
bool SyncFolder(const std::string& folder);
// Test seam: the call SyncFolder uses instead of fsync(2); null restores it.
void SetFolderSyncForTesting(int (*sync)(int fd));

// Copies an open regular file over `target` through a TempSibling, keeping its
// permission bits and times.
bool CopyIntoPlace(int source_fd, const struct stat& source_stat, const std::string& target, bool replace);

}  // namespace platform::fs
