// Opening the hive file: WAL mode, busy timeout, the table layout, and the
// check that finds a damaged file and moves it aside for a fresh one.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform::registry {

inline constexpr const char* kHiveFileName = "registry.db";
// How long a call waits for another process's write before giving up.
inline constexpr int kHiveBusyTimeoutMs = 15000;

// Which file a connection opened: another process may move the hive aside
// and start a new one under the same name.
struct HiveFileId {
  dev_t device = 0;
  ino_t inode = 0;
};
bool operator==(const HiveFileId& a, const HiveFileId& b);

// Opens (creating when missing) <root>/registry.db ready for use. A file that
// is no database, fails the integrity check or has a foreign layout is moved
// to "registry.db.damaged-<UTC timestamp>" (its -wal beside it) and a new
// hive starts; what happened is appended to `diagnostics`. A hive of a newer
// layout is left as it is and refused. Throws SqlError when the file cannot
// be opened (or is refused). `id` receives the identity of the file opened.
sqlite3* OpenHiveFile(const std::filesystem::path& root, std::vector<std::string>* diagnostics, HiveFileId* id);
sqlite3* OpenHiveFile(const std::filesystem::path& root, std::vector<std::string>* diagnostics);

// The identity of the file now at <root>/registry.db; empty when none is.
std::optional<HiveFileId> CurrentHiveFileId(const std::filesystem::path& root);

// Closes a connection opened by OpenHiveFile (null is fine).
void CloseHiveFile(sqlite3* db);

}  // namespace platform::registry
