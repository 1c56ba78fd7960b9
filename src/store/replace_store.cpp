#include "store/replace_store.h"

#include <random>

#include "platform/basic/string_functions.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/path_text.h"
#include "settings/folders/rights/make_temp_file_name.h"

namespace store {

std::string WorkFileFor(const std::string& store) {
  std::string work = settings::MakeTempFileName();
  // Without a usable temporary folder the work file goes beside the store,
  // hidden, under a name no one can guess ahead.
  if (work.empty() || !platform::fs::FolderExists(platform::fs::FolderOf(work))) {
    std::random_device random;
    const std::string unique = platform::Hex(static_cast<int32_t>(random() & 0x7FFFFFFF)) +
                               platform::Hex(static_cast<int32_t>(random() & 0x7FFFFFFF));
    work = platform::fs::FolderOf(store) + "/." + std::string(platform::fs::NameOf(store)) + "." + unique;
  }
  return work;
}

WorkFile::WorkFile(std::string path, bool readable) : path_(std::move(path)) {
  folder_ = platform::fs::OpenFolderOf(path_, platform::fs::LinkPolicy::kTrustRootMade, &name_);
  number_ = platform::fs::OpenFileIn(folder_, name_, platform::fs::OpenMode::kBinary,
                                     readable ? platform::fs::Access::kReadWrite : platform::fs::Access::kWrite,
                                     platform::fs::Share::kDenyAll, nullptr, {.mode = 0600, .exclusive = true});
  made_ = number_ != 0;
}

WorkFile::~WorkFile() {
  Close();
  // Only a file it made is removed.
  if (!kept_ && made()) platform::fs::RemoveFileIn(folder_, name_);
}

bool ReplaceStore(WorkFile& work, const std::string& store) {
  work.Close();
  std::string name;
  const platform::fs::Folder folder = platform::fs::OpenFolderOf(store, platform::fs::LinkPolicy::kTrustRootMade, &name);
  if (!platform::fs::ReplaceFileIn(work.folder(), work.name(), folder, name)) return false;
  work.Keep();
  return true;
}

}  // namespace store
