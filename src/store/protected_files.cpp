// The protected-file table: the paths of protected files and the file
// numbers that hold them open with sharing denied. Paths compare exactly:
// on a file system where letter case counts, "A.store" and "a.store" are two
// files.
#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/no_follow.h"
#include "store/file_manager.h"
#include "systemlog/system_log.h"

namespace store {

int32_t cFileMgr::GetProtectedFileHandle(const std::string& Filename) const {
  if (!protected_) return 0;
  for (const ProtectedSlot& slot : *protected_) {
    if (!slot.name.empty() && slot.name == Filename) return slot.handle;
  }
  return 0;
}

int32_t cFileMgr::ProtectFile(const std::string& Filename) {
  if (const int32_t handle = GetProtectedFileHandle(Filename)) return handle;
  if (Filename.empty()) return 0;
  // Opened in its folder, reached without a link a user could have planted
  // on the way, and never through a link in its own place: a store is read
  // and rewritten as root. A file it creates is its owner's alone.
  std::string name;
  const platform::fs::Folder folder =
      platform::fs::OpenFolderOf(Filename, platform::fs::LinkPolicy::kTrustRootMade, &name);
  const int number = platform::fs::OpenFileIn(folder, name, platform::fs::OpenMode::kBinary,
                                              platform::fs::Access::kReadWrite, platform::fs::Share::kDenyAll, nullptr,
                                              {.mode = 0600});
  return number ? AdoptProtected(Filename, number) : 0;
}

int32_t cFileMgr::AdoptProtected(const std::string& Filename, int number) {
  if (!protected_) protected_.emplace();
  ProtectedSlot* slot = nullptr;
  for (ProtectedSlot& candidate : *protected_) {
    if (candidate.name.empty()) {
      slot = &candidate;
      break;
    }
  }
  if (!slot) slot = &protected_->emplace_back();
  slot->name = Filename;
  slot->handle = number;
  slot->finalized = false;
  return number;
}

void cFileMgr::UnprotectFile(const std::string& Filename) {
  if (!protected_) return;
  for (ProtectedSlot& slot : *protected_) {
    if (!slot.name.empty() && slot.name == Filename) {
      slot.name.clear();
      platform::fs::CloseFile(slot.handle);
      slot.handle = 0;
      return;
    }
  }
}

bool cFileMgr::WritableHandle(int32_t handle, const char* operation) const {
  if (handle == 0) return false;
  if (protected_) {
    for (const ProtectedSlot& slot : *protected_) {
      if (slot.handle != handle || slot.name.empty()) continue;
      if (!slot.finalized) return true;
      // Its header holds the final count, and a compressed body may now sit
      // where the handle points: anything written would destroy the store.
      service::WriteSystemLog(std::string(operation) + ": " + slot.name +
                              " is finalized; nothing more is written to it");
      platform::Err::Set(platform::kErrBadFileNumber, "the store file is finalized", operation);
      return false;
    }
  }
  // A number this object does not hold (another file's, or one it closed).
  platform::Err::Set(platform::kErrBadFileNumber, {}, operation);
  return false;
}

void cFileMgr::MarkFinalized(const std::string& Filename) {
  if (!protected_) return;
  for (ProtectedSlot& slot : *protected_) {
    if (!slot.name.empty() && slot.name == Filename) slot.finalized = true;
  }
}

std::string cFileMgr::ProtectedName(int32_t handle) const {
  if (!protected_ || handle == 0) return {};
  for (const ProtectedSlot& slot : *protected_) {
    if (slot.handle == handle && !slot.name.empty()) return slot.name;
  }
  return {};
}

}  // namespace store
