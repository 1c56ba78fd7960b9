#include "platform/fs/open_file_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>
#include <utility>

#include "platform/basic/err.h"
#include "platform/fs/errno_to_basic.h"
#include "platform/fs/temp_sibling.h"

namespace platform::fs {
namespace {

struct Slot {
  std::shared_ptr<OpenFileState> file;
  std::thread::id kept_for;  // FreeFile handed this number to that thread
  bool opening = false;      // an Open of this number is under way
};

struct Table {
  std::mutex mutex;
  std::array<Slot, kMaxFileNumber + 1> slots;  // [0] unused
};

// Never destroyed: threads may still close files while the process exits.
Table& TheTable() {
  static Table* table = new Table;
  return *table;
}

bool FreeFor(const Slot& slot, std::thread::id thread) {
  return !slot.file && !slot.opening && (slot.kept_for == std::thread::id() || slot.kept_for == thread);
}

// The number FreeFile kept for this thread; given back when the thread ends.
struct KeptNumber {
  int number = 0;
  ~KeptNumber() {
    if (number == 0) return;
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    Slot& slot = table.slots[number];
    if (slot.kept_for == std::this_thread::get_id()) slot.kept_for = std::thread::id();
  }
};

thread_local KeptNumber kept_number;

}  // namespace

OpenFileState::~OpenFileState() {
  if (fd >= 0) ::close(fd);
}

std::shared_ptr<OpenFileState> FindOpenFile(int number) {
  if (number < 1 || number > kMaxFileNumber) return nullptr;
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  return table.slots[number].file;
}

std::shared_ptr<OpenFileState> OpenState(const std::string& path, OpenMode mode, Access access, Share share,
                                         int32_t* basic_error) {
  return OpenStateAt(AT_FDCWD, path, path, mode, access, share, {}, basic_error);
}

std::shared_ptr<OpenFileState> OpenStateAt(int folder_fd, const std::string& name, const std::string& path,
                                           OpenMode mode, Access access, Share share, const CreateOptions& options,
                                           int32_t* basic_error) {
  auto file = std::make_shared<OpenFileState>();
  int flags = 0;
  switch (mode) {
    case OpenMode::kInput:
      flags = O_RDONLY;
      break;
    case OpenMode::kOutput:
      flags = O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kAppend:
      flags = O_WRONLY | O_CREAT | O_APPEND;
      file->append = true;
      break;
    case OpenMode::kBinary:
      flags = access == Access::kRead ? O_RDONLY : access == Access::kWrite ? O_WRONLY | O_CREAT : O_RDWR | O_CREAT;
      break;
  }
  if (options.no_follow) flags |= O_NOFOLLOW;
  if (options.exclusive) flags |= O_CREAT | O_EXCL;
  int error = 0;
  file->fd = OpenWithSharingAt(folder_fd, name, path, flags, options.mode, share, &error, options.fresh_when_linked);
  if (file->fd < 0) {
    if (basic_error != nullptr) *basic_error = BasicErrorFromErrno(error, path);
    return nullptr;
  }
  int access_mode = flags & O_ACCMODE;
  file->can_read = access_mode != O_WRONLY;
  file->can_write = access_mode != O_RDONLY;
  file->path = path;
  if (file->append) {
    struct stat st {};
    if (::fstat(file->fd, &st) == 0) file->position = st.st_size;
  }
  return file;
}

int InstallOpenFile(int number, std::shared_ptr<OpenFileState> file, int32_t* basic_error) {
  auto fail = [&](int32_t error) {
    if (basic_error != nullptr) *basic_error = error;
    return 0;
  };
  const std::thread::id me = std::this_thread::get_id();
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  if (number == 0) {
    for (int candidate = 1; candidate <= kMaxFileNumber; ++candidate) {
      // Numbers FreeFile kept for a thread, this one included, stay free for
      // that thread's Open.
      const Slot& slot = table.slots[candidate];
      if (!slot.file && !slot.opening && slot.kept_for == std::thread::id()) {
        number = candidate;
        break;
      }
    }
    if (number == 0) return fail(kErrTooManyFiles);
  } else {
    if (number < 1 || number > kMaxFileNumber) return fail(kErrBadFileNumber);
    Slot& slot = table.slots[number];
    if (slot.file || slot.opening) return fail(kErrFileAlreadyOpen);
    if (!FreeFor(slot, me)) return fail(kErrBadFileNumber);
  }
  Slot& slot = table.slots[number];
  slot.file = std::move(file);
  slot.kept_for = std::thread::id();
  if (kept_number.number == number) kept_number.number = 0;
  return number;
}

int32_t ReserveFileNumber(int number) {
  if (number < 1 || number > kMaxFileNumber) return kErrBadFileNumber;
  const std::thread::id me = std::this_thread::get_id();
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  Slot& slot = table.slots[number];
  if (slot.file || slot.opening) return kErrFileAlreadyOpen;
  if (!FreeFor(slot, me)) return kErrBadFileNumber;
  slot.opening = true;
  return 0;
}

void FillReservedNumber(int number, std::shared_ptr<OpenFileState> file) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  Slot& slot = table.slots[number];
  slot.opening = false;
  slot.file = std::move(file);
  slot.kept_for = std::thread::id();
  if (kept_number.number == number) kept_number.number = 0;
}

void ReleaseReservedNumber(int number) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  table.slots[number].opening = false;
}

int KeepFreeNumber() {
  const std::thread::id me = std::this_thread::get_id();
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  if (kept_number.number != 0) {
    Slot& slot = table.slots[kept_number.number];
    if (!slot.file && slot.kept_for == me) return kept_number.number;
    kept_number.number = 0;
  }
  for (int candidate = 1; candidate <= kMaxFileNumber; ++candidate) {
    Slot& slot = table.slots[candidate];
    if (FreeFor(slot, me)) {
      slot.kept_for = me;
      kept_number.number = candidate;
      return candidate;
    }
  }
  return 0;
}

std::shared_ptr<OpenFileState> RemoveOpenFile(int number) {
  if (number < 1 || number > kMaxFileNumber) return nullptr;
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  return std::exchange(table.slots[number].file, nullptr);
}

void RemoveAllOpenFiles() {
  std::array<std::shared_ptr<OpenFileState>, kMaxFileNumber + 1> closing;
  Table& table = TheTable();
  {
    std::lock_guard lock(table.mutex);
    for (int number = 1; number <= kMaxFileNumber; ++number) closing[number] = std::move(table.slots[number].file);
  }
  // The descriptors close here, outside the table lock.
}

std::optional<std::string> ReadLocked(OpenFileState& file, int64_t offset, size_t count) {
  if (!file.can_read || offset < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return std::nullopt;
  // Never size the buffer beyond what the file holds: a bad length read from
  // a damaged record must not ask for gigabytes.
  int64_t available = st.st_size > offset ? st.st_size - offset : 0;
  size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, static_cast<uint64_t>(available)));
  std::string bytes(wanted, '\0');
  size_t got = 0;
  while (got < wanted) {
    ssize_t n = ::pread(file.fd, bytes.data() + got, wanted - got, static_cast<off_t>(offset + static_cast<int64_t>(got)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  file.position = offset + static_cast<int64_t>(got);
  return bytes;
}

int WriteLocked(OpenFileState& file, int64_t offset, std::string_view data) {
  if (!file.can_write) return EBADF;
  if (offset < 0) return EINVAL;
  if (file.append) {
    if (!WriteAll(file.fd, data)) return errno;
    struct stat st {};
    if (::fstat(file.fd, &st) == 0) file.position = st.st_size;
    return 0;
  }
  size_t put = 0;
  while (put < data.size()) {
    ssize_t n = ::pwrite(file.fd, data.data() + put, data.size() - put, static_cast<off_t>(offset + static_cast<int64_t>(put)));
    if (n < 0) {
      if (errno == EINTR) continue;
      file.position = offset + static_cast<int64_t>(put);
      return errno;
    }
    put += static_cast<size_t>(n);
  }
  file.position = offset + static_cast<int64_t>(put);
  return 0;
}

}  // namespace platform::fs
