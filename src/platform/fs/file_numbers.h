// Basic-style file numbers: small integers, 1 to 511, each naming one open
// file of this process. The table is shared by all threads; each open file
// keeps its own current position.
//
// Two ways in:
//  - OpenFile(path, ...) picks the number and opens in one step and never
//    throws: 0 and a Basic error number when it fails. Prefer this.
//  - FreeFile() then Open(number, ...), as Basic code reads. FreeFile keeps
//    the number it hands out for the calling thread until that thread opens
//    it (or asks again, getting the same number), so two threads never race
//    for one number. Both raise Basic errors.
//
// Positions: the functions here are 0-based (offset 0 is the first byte).
// Basic's Get/Put/Seek count from 1: see basic_file_io.h, or add 1 yourself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "platform/fs/sharing.h"

namespace platform::fs {

inline constexpr int kMaxFileNumber = 511;

enum class OpenMode {
  kInput,    // read; the file must exist
  kOutput,   // write; created, emptied
  kAppend,   // write at the end; created when missing
  kBinary,   // read and write anywhere; created when missing (see Access)
};

enum class Access {
  kDefault,    // what the mode implies (Binary: read and write)
  kRead,       // Binary: read only, the file must exist
  kWrite,      // Binary: write only
  kReadWrite,
};

// How a file is opened beyond its mode.
struct CreateOptions {
  mode_t mode = 0666;      // permission bits of a file the open creates (the umask applies)
  bool no_follow = false;  // a symbolic link as the last part of the path is refused
  bool exclusive = false;  // the file is created: one that exists already is refused (58)
  // A file that has other hard links is taken off this name and a new one
  // made in its place, before anything is cut or written: writing through
  // the name never changes the file under its other names.
  bool fresh_when_linked = false;
};

// Opens `path` under the lowest free number. Returns the number, or 0 with the
// Basic error number in *basic_error (may be null):
//   53 File not found   (reading a missing file)
//   76 Path not found   (the folder does not exist)
//   70 Permission denied (held by another opener, see sharing.h; or refused)
//   75 Path/File access error (a folder, not a regular file, bad path)
//   67 Too many files   (all numbers in use)
int OpenFile(const std::string& path, OpenMode mode, Access access = Access::kDefault,
             Share share = Share::kShared, int32_t* basic_error = nullptr);

// The same with the options above.
int OpenFile(const std::string& path, OpenMode mode, Access access, Share share, int32_t* basic_error,
             const CreateOptions& options);

// Basic FreeFile: the lowest number neither open nor kept for another thread.
// Raises 67 (Too many files) when none is left.
int FreeFile();

// Basic Open ... As #number. Raises 52 (Bad file name or number) for a number
// outside 1..511 or kept by FreeFile for another thread, 55 (File already
// open) when it is open, else the errors of OpenFile.
void Open(int number, const std::string& path, OpenMode mode, Access access = Access::kDefault,
          Share share = Share::kShared);

// Closes the file; false when the number is not open (Basic Close ignores
// that). Releases the lock.
bool CloseFile(int number);

// Closes every file this process has open by number (Basic Reset).
void CloseAllFiles();

bool IsFileOpen(int number);

// Reads up to `count` bytes at `offset`; fewer at the end of the file. The
// position moves past what was read. Nothing when the number is not open or
// the file cannot be read (write-only modes).
std::optional<std::string> ReadAt(int number, int64_t offset, size_t count);
// The same at the current position.
std::optional<std::string> ReadNext(int number, size_t count);

// Writes all of `data` at `offset` (Append mode: at the end) and moves the
// position past it. False when the number is not open, the file is read-only
// here, or the write fails (disk full).
bool WriteAt(int number, int64_t offset, std::string_view data);
inline bool WriteAt(int number, int64_t offset, std::span<const uint8_t> data) {
  return WriteAt(number, offset, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}
// The same at the current position.
bool WriteNext(int number, std::string_view data);

// The current position (0-based), -1 when the number is not open.
int64_t Tell(int number);
// Moves the position (0-based, may lie past the end); false when not open or
// `offset` is negative.
bool SeekTo(int number, int64_t offset);

// The file's length in bytes, -1 when the number is not open.
int64_t FileLength(int number);

// Flushes the file's data to disk (fsync); false when not open or it fails.
bool SyncFile(int number);

// The path the number was opened with; empty when not open.
std::string OpenFilePath(int number);

}  // namespace platform::fs
