#include "platform/fs/shared_mutex_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "platform/fs/durable.h"

namespace platform::fs {

namespace {

constexpr char kMagic[16] = "HEARTH-SMUTEX 1";

// This boot's identity; a file made in an earlier boot is made anew.
const std::optional<std::string>& BootId() {
  static const std::optional<std::string> id = []() -> std::optional<std::string> {
    std::optional<std::string> text = ReadWholeFile("/proc/sys/kernel/random/boot_id");
    if (!text || text->size() < 32) return std::nullopt;
    return text->substr(0, 36);
  }();
  return id;
}

}  // namespace

struct SharedMutexFile::Block {
  char magic[16];
  char boot_id[40];
  pthread_mutex_t mutex;
  std::atomic<uint64_t> changes;
};

SharedMutexFile::~SharedMutexFile() {
  if (block_ != nullptr) ::munmap(block_, sizeof(Block));
}

bool SharedMutexFile::Open(const std::string& path) {
  if (block_ != nullptr) {
    ::munmap(block_, sizeof(Block));
    block_ = nullptr;
  }
  const std::optional<std::string>& boot_id = BootId();
  if (!boot_id) {
    errno = ENOENT;
    return false;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  // The file lock only guards making the block: two first users at once.
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      int error = errno;
      ::close(fd);
      errno = error;
      return false;
    }
  }
  bool ok = false;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    const bool whole = static_cast<size_t>(status.st_size) == sizeof(Block);
    if (whole || ::ftruncate(fd, sizeof(Block)) == 0) {
      void* mapped = ::mmap(nullptr, sizeof(Block), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (mapped != MAP_FAILED) {
        auto* block = static_cast<Block*>(mapped);
        const bool current = whole && std::memcmp(block->magic, kMagic, sizeof kMagic) == 0 &&
                             std::memcmp(block->boot_id, boot_id->c_str(), boot_id->size() + 1) == 0;
        // Nobody of this boot uses a block that is not current: making it
        // anew cannot take a lock from under a holder.
        ok = current || Initialise(block, *boot_id);
        if (ok) {
          block_ = block;
        } else {
          ::munmap(mapped, sizeof(Block));
        }
      }
    }
  }
  int error = errno;
  ::flock(fd, LOCK_UN);
  ::close(fd);
  errno = error;
  return ok;
}

bool SharedMutexFile::Initialise(Block* block, const std::string& boot_id) {
  std::memset(static_cast<void*>(block), 0, sizeof *block);
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            // A thread that asks again for the lock it holds is told so
            // instead of waiting for ever.
            pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK) == 0 &&
            pthread_mutex_init(&block->mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  if (!ok) return false;
  new (&block->changes) std::atomic<uint64_t>(0);
  std::memcpy(block->boot_id, boot_id.c_str(), boot_id.size() + 1);
  // The magic last: a maker killed half way leaves a block that is made anew.
  std::atomic_thread_fence(std::memory_order_release);
  std::memcpy(block->magic, kMagic, sizeof kMagic);
  return true;
}

SharedMutexFile::Taken SharedMutexFile::Lock() {
  if (block_ == nullptr) return Taken::kFailed;
  int result = pthread_mutex_lock(&block_->mutex);
  if (result == 0) return Taken::kTaken;
  if (result == EOWNERDEAD) {
    pthread_mutex_consistent(&block_->mutex);
    // Whatever the dead holder was doing counts as a change.
    block_->changes.fetch_add(1);
    return Taken::kOwnerDied;
  }
  errno = result;
  return Taken::kFailed;
}

void SharedMutexFile::Unlock() {
  if (block_ != nullptr) pthread_mutex_unlock(&block_->mutex);
}

uint64_t SharedMutexFile::Changes() const { return block_ == nullptr ? 0 : block_->changes.load(); }

uint64_t SharedMutexFile::Bump() { return block_ == nullptr ? 0 : block_->changes.fetch_add(1) + 1; }

}  // namespace platform::fs
