// Whether anything may have changed in a hive since this process last looked:
// a counter in a small shared mapping beside the hive (<root>/registry.db.changes)
// that every process bumps after each commit and whenever it puts a new file
// under the hive's name. Reading it is one atomic load, so a call that finds
// it unchanged skips the look at the file (a stat of its path and a SQLite
// read transaction).
//
// A change nobody announces (the file moved by hand, a writer killed between
// its commit and its bump) is still found: the full look is also made once
// the last one is a second old. Where the mapping cannot be made (no right
// to the file), every call makes the full look.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>

#include "platform/fs/shared_mutex_file.h"

namespace platform::registry {

inline constexpr const char* kHiveChangesFileName = "registry.db.changes";

class HiveChanges {
 public:
  HiveChanges() = default;
  HiveChanges(const HiveChanges&) = delete;
  HiveChanges& operator=(const HiveChanges&) = delete;

  // Maps <root>/registry.db.changes unless it is mapped already; the next
  // StartLook says a look is due.
  void Open(const std::filesystem::path& root);
  // True when a full look is due (the counter moved since the last one, or
  // it is a second old); remembers the counter as read now, before the look.
  bool StartLook();
  // The full look begun by the last StartLook is done: nothing before it is
  // missed any more.
  void LookDone();
  // The next StartLook says a look is due.
  void Forget() { looked_ = false; }
  // After this process committed a change: tells every other process. When
  // nobody else changed anything since the last look, that look stays good.
  void Announce();

 private:
  fs::SharedMutexFile file_;
  bool looked_ = false;
  uint64_t seen_ = 0;     // counter at the last full look
  uint64_t pending_ = 0;  // counter read by StartLook
  std::chrono::steady_clock::time_point looked_at_{};
};

// Tells every process using the hive of `root` that its file changed (a new
// hive laid out, a damaged one replaced). Nothing happens when the mapping
// cannot be made; the others then see it within a second.
void AnnounceHiveChange(const std::filesystem::path& root);

// Test seam: how old the last full look may be before the next call makes
// one again (a second unless set).
void SetHiveLookIntervalForTesting(std::chrono::steady_clock::duration interval);

}  // namespace platform::registry
