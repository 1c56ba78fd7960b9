// Putting a rewritten store file in place of the old one in one atomic step,
// so that at every instant either the old or the new file is there.
#pragma once

#include <string>

#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"

namespace store {

// A fresh work-file path for the rewrite of `store` (the temporary folder).
std::string WorkFileFor(const std::string& store);

// Flushes `work` and renames it over `store` (across file systems: copies it
// beside `store`, flushes and renames). False, with `work` removed and
// `store` untouched, when that fails.
bool ReplaceStore(const std::string& work, const std::string& store);

// A work file that is removed unless it was put in place.
class WorkFile {
 public:
  // Empty, written through number(); `readable`: read back through it too.
  explicit WorkFile(std::string path, bool readable = false) : path_(std::move(path)) {
    if (readable) {
      // Binary mode reads and writes but keeps what is there.
      platform::fs::DeleteFileQuietly(path_);
      number_ = platform::fs::OpenFile(path_, platform::fs::OpenMode::kBinary, platform::fs::Access::kReadWrite,
                                       platform::fs::Share::kDenyAll);
    } else {
      number_ = platform::fs::OpenFile(path_, platform::fs::OpenMode::kOutput, platform::fs::Access::kDefault,
                                       platform::fs::Share::kDenyAll);
    }
  }
  ~WorkFile() {
    Close();
    if (!kept_) platform::fs::DeleteFileQuietly(path_);
  }
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  bool ok() const { return number_ != 0; }
  int number() const { return number_; }
  const std::string& path() const { return path_; }
  void Close() {
    if (number_) platform::fs::CloseFile(number_);
    number_ = 0;
  }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  int number_ = 0;
  bool kept_ = false;
};

}  // namespace store
