// Opening the hive file: WAL mode, busy timeout, the table layout, and the
// check that finds a damaged file and moves it aside for a fresh one.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace platform::registry {

inline constexpr const char* kHiveFileName = "registry.db";
// How long a call waits for another process's write before giving up.
inline constexpr int kHiveBusyTimeoutMs = 15000;

// Opens (creating when missing) <root>/registry.db ready for use. A file that
// is no database, fails the integrity check or has a foreign layout is moved
// to "registry.db.damaged-<UTC timestamp>" (its -wal beside it) and a new
// hive starts; what happened is appended to `diagnostics`. Throws SqlError
// when the file cannot be opened at all.
sqlite3* OpenHiveFile(const std::filesystem::path& root, std::vector<std::string>* diagnostics);

// Closes a connection opened by OpenHiveFile (null is fine).
void CloseHiveFile(sqlite3* db);

}  // namespace platform::registry
