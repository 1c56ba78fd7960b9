#include "store/replace_store.h"

#include <random>

#include "platform/basic/string_functions.h"
#include "platform/fs/durable.h"
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

bool ReplaceStore(const std::string& work, const std::string& store) {
  if (platform::fs::ReplaceFileDurably(work, store)) return true;
  // The temporary folder may lie on another file system than the store.
  if (platform::fs::FileExists(work) && platform::fs::RenameReplacing(work, store)) {
    platform::fs::SyncPath(platform::fs::FolderOf(store));
    return true;
  }
  platform::fs::DeleteFileQuietly(work);
  return false;
}

}  // namespace store
