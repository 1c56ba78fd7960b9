// Putting a rewritten store file in place of the old one in one atomic step,
// so that at every instant either the old or the new file is there.
#pragma once

#include <string>

#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/no_follow.h"

namespace store {

// A fresh work-file path for the rewrite of `store`: the temporary folder,
// or beside the store when that is gone; an unpredictable name either way.
std::string WorkFileFor(const std::string& store);

class WorkFile;

// Puts the finished `work` file in place of `store` for good (across file
// systems: copies it beside `store` first). The store's folder is reached
// without following a link anyone but root could have made, and a link in
// the store's place is replaced, never followed. False, with `store`
// untouched, when that fails (`work` is then removed when it goes).
bool ReplaceStore(WorkFile& work, const std::string& store);

// A work file that is removed unless it was put in place.
class WorkFile {
 public:
  // A new file under `path`, for its owner alone (0600), created there and
  // then (never one that was there, never through a link), written through
  // number(); `readable`: read back through it too.
  explicit WorkFile(std::string path, bool readable = false);
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  bool ok() const { return number_ != 0; }
  bool made() const { return made_; }
  int number() const { return number_; }
  const std::string& path() const { return path_; }
  // The folder it was made in, and its name there.
  const platform::fs::Folder& folder() const { return folder_; }
  const std::string& name() const { return name_; }
  void Close() {
    if (number_) platform::fs::CloseFile(number_);
    number_ = 0;
  }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  platform::fs::Folder folder_;
  std::string name_;
  int number_ = 0;
  bool made_ = false;
  bool kept_ = false;
};

}  // namespace store
