#include "platform/fs/file_numbers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/basic/err.h"
#include "platform/fs/open_file_table.h"

namespace platform::fs {

int OpenFile(const std::string& path, OpenMode mode, Access access, Share share, int32_t* basic_error) {
  return OpenFile(path, mode, access, share, basic_error, CreateOptions{});
}

int OpenFile(const std::string& path, OpenMode mode, Access access, Share share, int32_t* basic_error,
             const CreateOptions& options) {
  int32_t error = 0;
  auto file = OpenStateAt(AT_FDCWD, path, path, mode, access, share, options, &error);
  int number = file ? InstallOpenFile(0, std::move(file), &error) : 0;
  if (basic_error != nullptr) *basic_error = number != 0 ? 0 : error;
  return number;
}

int FreeFile() {
  int number = KeepFreeNumber();
  if (number == 0) RaiseError(kErrTooManyFiles, {}, "FreeFile");
  return number;
}

void Open(int number, const std::string& path, OpenMode mode, Access access, Share share) {
  // Hold the number first: a number that is not free for this thread never
  // opens, creates or empties the file.
  int32_t error = ReserveFileNumber(number);
  if (error != 0) RaiseError(error, {}, "Open");
  auto file = OpenState(path, mode, access, share, &error);
  if (!file) {
    ReleaseReservedNumber(number);
    RaiseError(error, {}, "Open");
  }
  FillReservedNumber(number, std::move(file));
}

bool CloseFile(int number) { return RemoveOpenFile(number) != nullptr; }

void CloseAllFiles() { RemoveAllOpenFiles(); }

bool IsFileOpen(int number) { return FindOpenFile(number) != nullptr; }

std::optional<std::string> ReadAt(int number, int64_t offset, size_t count) {
  auto file = FindOpenFile(number);
  if (!file) return std::nullopt;
  std::lock_guard lock(file->mutex);
  return ReadLocked(*file, offset, count);
}

std::optional<std::string> ReadNext(int number, size_t count) {
  auto file = FindOpenFile(number);
  if (!file) return std::nullopt;
  std::lock_guard lock(file->mutex);
  return ReadLocked(*file, file->position, count);
}

bool WriteAt(int number, int64_t offset, std::string_view data) {
  auto file = FindOpenFile(number);
  if (!file) return false;
  std::lock_guard lock(file->mutex);
  return WriteLocked(*file, offset, data) == 0;
}

bool WriteNext(int number, std::string_view data) {
  auto file = FindOpenFile(number);
  if (!file) return false;
  std::lock_guard lock(file->mutex);
  return WriteLocked(*file, file->position, data) == 0;
}

int64_t Tell(int number) {
  auto file = FindOpenFile(number);
  if (!file) return -1;
  std::lock_guard lock(file->mutex);
  return file->position;
}

bool SeekTo(int number, int64_t offset) {
  auto file = FindOpenFile(number);
  if (!file || offset < 0) return false;
  std::lock_guard lock(file->mutex);
  file->position = offset;
  return true;
}

int64_t FileLength(int number) {
  auto file = FindOpenFile(number);
  struct stat st {};
  if (!file || ::fstat(file->fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool SyncFile(int number) {
  auto file = FindOpenFile(number);
  return file && ::fsync(file->fd) == 0;
}

std::string OpenFilePath(int number) {
  auto file = FindOpenFile(number);
  return file ? file->path : std::string();
}

}  // namespace platform::fs
