#include "support/imdb/write_gate.h"

#include <filesystem>
#include <map>
#include <system_error>

namespace support {

std::shared_ptr<WriteGate> WriteGate::ForFile(const std::string& path) {
  static std::mutex registry_mutex;
  static std::map<std::string, std::weak_ptr<WriteGate>> registry;
  std::error_code error;
  std::string key = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error).string();
  if (key.empty()) key = path;
  std::lock_guard lock(registry_mutex);
  auto& slot = registry[key];
  std::shared_ptr<WriteGate> gate = slot.lock();
  if (!gate) {
    gate = std::make_shared<WriteGate>();
    slot = gate;
  }
  return gate;
}

bool WriteGate::Acquire(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!released_.wait_for(lock, timeout, [this] { return !held_; })) return false;
  held_ = true;
  return true;
}

void WriteGate::Release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  released_.notify_one();
}

}  // namespace support
