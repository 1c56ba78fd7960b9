// The process's table of open file numbers, shared by file_numbers.cpp and
// basic_file_io.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fs/file_numbers.h"

namespace platform::fs {

// One open file. Operations lock `mutex`; the descriptor closes when the last
// user lets go, so a Close racing a read on another thread is harmless.
struct OpenFileState {
  std::mutex mutex;
  int fd = -1;
  bool can_read = false;
  bool can_write = false;
  bool append = false;
  int64_t position = 0;  // 0-based
  std::string path;

  OpenFileState() = default;
  OpenFileState(const OpenFileState&) = delete;
  OpenFileState& operator=(const OpenFileState&) = delete;
  ~OpenFileState();
};

// The open file under `number`, or null.
std::shared_ptr<OpenFileState> FindOpenFile(int number);

// Opens `path` for the mode; null with a Basic error number when it fails.
std::shared_ptr<OpenFileState> OpenState(const std::string& path, OpenMode mode, Access access, Share share,
                                         int32_t* basic_error);

// The same for `name` inside the folder open as `folder_fd` (AT_FDCWD: the
// current folder); `path` is the whole path the file is known by.
std::shared_ptr<OpenFileState> OpenStateAt(int folder_fd, const std::string& name, const std::string& path,
                                           OpenMode mode, Access access, Share share, const CreateOptions& options,
                                           int32_t* basic_error);

// Puts an open file under a number. `number` 0 takes the lowest free one.
// Returns the number, or 0 with *basic_error set (52 bad number or kept for
// another thread, 55 already open, 67 none free).
int InstallOpenFile(int number, std::shared_ptr<OpenFileState> file, int32_t* basic_error);

// Holds `number` for an Open under way, so that the file is opened (and
// perhaps emptied) only once the number is known to be free for this thread.
// 0, or the Basic error: 52 bad number or kept for another thread, 55 open or
// being opened. Then FillReservedNumber or ReleaseReservedNumber.
int32_t ReserveFileNumber(int number);
void FillReservedNumber(int number, std::shared_ptr<OpenFileState> file);
void ReleaseReservedNumber(int number);

// Basic FreeFile's reservation for the calling thread; 0 when none is left.
int KeepFreeNumber();

// Takes the file out of the table; null when the number was not open.
std::shared_ptr<OpenFileState> RemoveOpenFile(int number);

void RemoveAllOpenFiles();

// Reads at most `count` bytes at `offset` (never past the end of the file);
// nothing on failure. Moves the position. The caller holds file.mutex.
std::optional<std::string> ReadLocked(OpenFileState& file, int64_t offset, size_t count);

// Writes all bytes at `offset` (at the end in append mode), moving the
// position. 0 or the errno reason. The caller holds file.mutex.
int WriteLocked(OpenFileState& file, int64_t offset, std::string_view data);

}  // namespace platform::fs
