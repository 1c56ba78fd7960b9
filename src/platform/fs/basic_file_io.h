// Basic's statements on an open file number, with Basic's 1-based positions
// (position 1 is the first byte) and Basic errors raised through RaiseError.
// For 0-based calls that never throw use file_numbers.h.
//
// Common errors: 52 (Bad file name or number) when the number is not open,
// 63 (Bad record number) for a position below 1, 54 (Bad file mode) for
// reading a write-only file or writing a read-only one, 57 (Device I/O error)
// or 61 (Disk full) when the system call fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::fs {

// Get #number, position, var: reads `count` bytes at `position` (0: at the
// current position). Past the end it gives fewer bytes and no error, as
// Basic leaves the rest of the variable unfilled.
std::string Get(int number, int64_t position, size_t count);

// Put #number, position, var: writes `data` at `position` (0: current).
void Put(int number, int64_t position, std::string_view data);

// Print #number, text: writes `text` followed by CR LF at the current position.
void PrintLine(int number, std::string_view text);

// Seek(number): the position of the next read or write (1-based).
int64_t Seek(int number);
// Seek #number, position: moves to `position` (1-based; past the end allowed).
void Seek(int number, int64_t position);

// LOF(number): the file's length in bytes.
int64_t LOF(int number);

// EOF(number): true when the position is at or past the end.
bool Eof(int number);

}  // namespace platform::fs
