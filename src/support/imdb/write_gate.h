// One writer at a time per database file within the process.
//
// The engine would make competing writers of one process wait in its busy
// handler, which sleeps; the gate hands the write turn over at once instead.
// A turn may be released from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace support {

class WriteGate {
 public:
  // The gate of a database file (the same for every spelling of its path).
  static std::shared_ptr<WriteGate> ForFile(const std::string& path);

  // Waits for the turn; false when `timeout` passed first.
  bool Acquire(std::chrono::milliseconds timeout);
  void Release();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
};

}  // namespace support
