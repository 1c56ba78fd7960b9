#include "support/imdb/shared_file.h"

#include <filesystem>
#include <map>
#include <system_error>

namespace support {

std::shared_ptr<SharedFile> SharedFile::ForFile(const std::string& path) {
  static std::mutex registry_mutex;
  // Entries stay for the life of the process: a file's generation must not
  // start over while a connection still remembers an older one.
  static std::map<std::string, std::shared_ptr<SharedFile>> registry;
  std::error_code error;
  std::string key = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error).string();
  if (key.empty()) key = path;
  std::lock_guard lock(registry_mutex);
  std::shared_ptr<SharedFile>& slot = registry[key];
  if (!slot) slot = std::make_shared<SharedFile>();
  return slot;
}

bool SharedFile::Acquire(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!released_.wait_for(lock, timeout, [this] { return !held_; })) return false;
  held_ = true;
  return true;
}

void SharedFile::Release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  released_.notify_one();
}

}  // namespace support
