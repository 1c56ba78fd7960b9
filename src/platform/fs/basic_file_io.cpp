#include "platform/fs/basic_file_io.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/basic/err.h"
#include "platform/fs/open_file_table.h"

namespace platform::fs {
namespace {

constexpr int32_t kErrBadFileMode = 54;
constexpr int32_t kErrBadRecordNumber = 63;

std::shared_ptr<OpenFileState> FileOrRaise(int number, const char* source) {
  auto file = FindOpenFile(number);
  if (!file) RaiseError(kErrBadFileNumber, {}, source);
  return file;
}

// Basic positions count from 1; 0 stands for "where the file is now".
int64_t OffsetOf(const OpenFileState& file, int64_t position, const char* source) {
  if (position < 0) RaiseError(kErrBadRecordNumber, "Bad record number", source);
  return position == 0 ? file.position : position - 1;
}

void Write(int number, int64_t position, std::string_view data, const char* source) {
  auto file = FileOrRaise(number, source);
  std::lock_guard lock(file->mutex);
  if (!file->can_write) RaiseError(kErrBadFileMode, "Bad file mode", source);
  int error = WriteLocked(*file, OffsetOf(*file, position, source), data);
  if (error == ENOSPC || error == EDQUOT) RaiseError(kErrDiskFull, {}, source);
  if (error != 0) RaiseError(kErrDeviceIo, {}, source);
}

}  // namespace

std::string Get(int number, int64_t position, size_t count) {
  auto file = FileOrRaise(number, "Get");
  std::lock_guard lock(file->mutex);
  if (!file->can_read) RaiseError(kErrBadFileMode, "Bad file mode", "Get");
  auto bytes = ReadLocked(*file, OffsetOf(*file, position, "Get"), count);
  if (!bytes) RaiseError(kErrDeviceIo, {}, "Get");
  return std::move(*bytes);
}

void Put(int number, int64_t position, std::string_view data) { Write(number, position, data, "Put"); }

void PrintLine(int number, std::string_view text) {
  std::string line(text);
  line += "\r\n";
  Write(number, 0, line, "Print");
}

int64_t Seek(int number) {
  auto file = FileOrRaise(number, "Seek");
  std::lock_guard lock(file->mutex);
  return file->position + 1;
}

void Seek(int number, int64_t position) {
  auto file = FileOrRaise(number, "Seek");
  if (position < 1) RaiseError(kErrBadRecordNumber, "Bad record number", "Seek");
  std::lock_guard lock(file->mutex);
  file->position = position - 1;
}

int64_t LOF(int number) {
  auto file = FileOrRaise(number, "LOF");
  struct stat st {};
  if (::fstat(file->fd, &st) != 0) RaiseError(kErrDeviceIo, {}, "LOF");
  return static_cast<int64_t>(st.st_size);
}

bool Eof(int number) {
  auto file = FileOrRaise(number, "EOF");
  std::lock_guard lock(file->mutex);
  struct stat st {};
  if (::fstat(file->fd, &st) != 0) RaiseError(kErrDeviceIo, {}, "EOF");
  return file->position >= st.st_size;
}

}  // namespace platform::fs
