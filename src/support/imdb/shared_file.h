// What the connections of one process share about one database file: the
// write turn, and a generation number that says when cached knowledge about
// the file (proven probe statements, its identity on disk) must be renewed.
//
// The engine would make competing writers of one process wait in its busy
// handler, which sleeps; the gate hands the write turn over at once instead.
// A turn may be released from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace support {

class SharedFile {
 public:
  // The state of a database file (the same for every spelling of its path).
  static std::shared_ptr<SharedFile> ForFile(const std::string& path);

  // Waits for the write turn; false when `timeout` passed first.
  bool Acquire(std::chrono::milliseconds timeout);
  void Release();

  // Changes whenever the file's tables change, the file is removed, or a
  // connection finds it damaged.
  uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  void Bump() { generation_.fetch_add(1, std::memory_order_acq_rel); }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  std::atomic<uint64_t> generation_{0};
};

}  // namespace support
