#include "platform/registry/hive_changes.h"

#include <atomic>

namespace platform::registry {
namespace {

std::atomic<std::chrono::steady_clock::duration::rep> look_interval{
    std::chrono::steady_clock::duration(std::chrono::seconds(1)).count()};

std::string ChangesPath(const std::filesystem::path& root) { return (root / kHiveChangesFileName).string(); }

}  // namespace

void HiveChanges::Open(const std::filesystem::path& root) {
  looked_ = false;
  if (!file_.IsOpen()) file_.Open(ChangesPath(root));
  // Read before the caller's first look at the new connection.
  pending_ = file_.Changes();
}

bool HiveChanges::StartLook() {
  if (!file_.IsOpen()) return true;
  pending_ = file_.Changes();
  return !looked_ || pending_ != seen_ ||
         std::chrono::steady_clock::now() - looked_at_ >= std::chrono::steady_clock::duration(look_interval.load());
}

void HiveChanges::LookDone() {
  if (!file_.IsOpen()) return;
  seen_ = pending_;
  looked_ = true;
  looked_at_ = std::chrono::steady_clock::now();
}

void HiveChanges::Announce() {
  if (!file_.IsOpen()) return;
  // Another process's bump in between means a change this process has not
  // looked at: then the next call looks.
  if (file_.Bump() - 1 == seen_) seen_ += 1;
}

void AnnounceHiveChange(const std::filesystem::path& root) {
  fs::SharedMutexFile file;
  if (file.Open(ChangesPath(root))) file.Bump();
}

void SetHiveLookIntervalForTesting(std::chrono::steady_clock::duration interval) {
  look_interval.store(interval.count());
}

}  // namespace platform::registry
