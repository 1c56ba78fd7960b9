// A lock shared by every thread and process that opens the same file: a
// robust, process-shared mutex in a small mapped file. Taking it and giving it
// back costs no system call while nobody else holds it, where a file lock
// costs two. Beside the mutex sits a change counter that holders bump for
// each change they make to what the lock guards, so that the next holder sees
// at once whether anyone else changed it.
//
//   platform::fs::SharedMutexFile lock;
//   if (lock.Open(folder + "/report.lock")) {
//     if (lock.Lock() == SharedMutexFile::Taken::kOwnerDied) { /* check what it guards */ }
//     ...
//     lock.Unlock();
//   }
//
// The file (mode 0600) is made on first use, and made anew when an earlier
// boot left it (a mutex held when the machine went down would otherwise never
// be given back) or when it is not whole. A holder killed while holding it
// hands it on: the next Lock says kOwnerDied.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

class SharedMutexFile {
 public:
  enum class Taken {
    kTaken,      // the lock is held
    kOwnerDied,  // held; the previous holder died holding it
    kFailed,     // not held (this thread holds it already, or it is broken)
  };

  SharedMutexFile() = default;
  ~SharedMutexFile();
  SharedMutexFile(const SharedMutexFile&) = delete;
  SharedMutexFile& operator=(const SharedMutexFile&) = delete;

  // False (errno says why) when the file cannot be made or mapped, or the
  // system cannot say which boot this is; the caller then locks another way.
  bool Open(const std::string& path);
  bool IsOpen() const { return block_ != nullptr; }

  Taken Lock();
  void Unlock();

  // The change counter; Bump (holder only) adds one and answers the new value.
  uint64_t Changes() const;
  uint64_t Bump();

 private:
  struct Block;
  static bool Initialise(Block* block, const std::string& boot_id);
  Block* block_ = nullptr;
};

}  // namespace platform::fs
