// Writing a file into place: the new contents go to a hidden, uniquely named
// file in the target's folder, are flushed, and the file is then renamed onto
// the target, so the target is always the old or the complete new file.
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
  // target when `replace` is false) and flushes the folder.
  bool Commit(bool replace);

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
};

// Writes all of `data` to `fd`, carrying on after short writes.
bool WriteAll(int fd, std::string_view data);

// fsync of a folder's entries; failures are ignored (some file systems
// refuse it), so there is no result.
void SyncFolder(const std::string& folder);

// Copies an open regular file over `target` through a TempSibling, keeping its
// permission bits and times.
bool CopyIntoPlace(int source_fd, const struct stat& source_stat, const std::string& target, bool replace);

}  // namespace platform::fs
