// Putting a rewritten store file in place of the old one in one atomic step,
// so that at every instant either the old or the new file is there.
#pragma once

#include <string>

#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"

namespace store {

// A fresh work-file path for the rewrite of `store`: the temporary folder,
// or beside the store when that is gone; an unpredictable name either way.
std::string WorkFileFor(const std::string& store);

// Flushes `work` and renames it over `store` (across file systems: copies it
// beside `store`, flushes and renames). False, with `work` removed and
// `store` untouched, when that fails.
bool ReplaceStore(const std::string& work, const std::string& store);

// A work file that is removed unless it was put in place.
class WorkFile {
 public:
  // A new file under `path`, for its owner alone (0600), created there and
  // then (never one that was there, never through a link), written through
  // number(); `readable`: read back through it too.
  explicit WorkFile(std::string path, bool readable = false) : path_(std::move(path)) {
    number_ = platform::fs::OpenFile(path_, platform::fs::OpenMode::kBinary,
                                     readable ? platform::fs::Access::kReadWrite : platform::fs::Access::kWrite,
                                     platform::fs::Share::kDenyAll, nullptr,
                                     {.mode = 0600, .no_follow = true, .exclusive = true});
    made_ = number_ != 0;
  }
  ~WorkFile() {
    Close();
    // Only a file it made is removed.
    if (!kept_ && made()) platform::fs::DeleteFileQuietly(path_);
  }
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  bool ok() const { return number_ != 0; }
  bool made() const { return made_; }
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
  bool made_ = false;
  bool kept_ = false;
};

}  // namespace store
