// Whole-file reads and writes, and writes that survive a crash: after a crash
// the target holds the old or the new contents, never none and never a part.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::fs {

// The whole file; nothing when it is missing, unreadable or held with sharing
// denied.
std::optional<std::string> ReadWholeFile(const std::string& path);
// The same, as bytes.
std::optional<std::vector<uint8_t>> ReadWholeFileBytes(const std::string& path);

// Writes `data` to a new file beside `path`, flushes it to disk (fsync),
// renames it over `path` and flushes the folder. An existing target keeps its
// permission bits. False on any failure, also when the target is held with
// sharing denied; the target is then untouched, except when only the last
// flush of the folder failed (it holds the new contents, which may not
// survive a power loss).
bool WriteFileDurably(const std::string& path, std::string_view data);
inline bool WriteFileDurably(const std::string& path, std::span<const uint8_t> data) {
  return WriteFileDurably(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// For a work file the caller wrote itself: flushes `from` to disk, renames it
// over `to` and flushes the folder of `to`. False on any failure, as above;
// never swaps a `to` held with sharing denied.
bool ReplaceFileDurably(const std::string& from, const std::string& to);

// Flushes a file's data, or a folder's entries, to disk. False on failure.
bool SyncPath(const std::string& path);

// Appends `data` to the file, creating it when missing, in one write with
// O_APPEND (concurrent appenders do not overwrite each other). False when the
// file cannot be opened (also when held with sharing denied) or written.
bool AppendToFile(const std::string& path, std::string_view data);

}  // namespace platform::fs
