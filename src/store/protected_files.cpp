// The protected-file table: lower-cased names and the file numbers that hold
// them open with sharing denied.
#include "platform/basic/string_functions.h"
#include "platform/fs/file_numbers.h"
#include "store/file_manager.h"

namespace store {

int32_t cFileMgr::GetProtectedFileHandle(const std::string& Filename) const {
  if (!protected_) return 0;
  const std::string name = platform::LCase(Filename);
  for (const ProtectedSlot& slot : *protected_) {
    if (!slot.name.empty() && slot.name == name) return slot.handle;
  }
  return 0;
}

int32_t cFileMgr::ProtectFile(const std::string& Filename) {
  if (const int32_t handle = GetProtectedFileHandle(Filename)) return handle;
  if (Filename.empty()) return 0;
  if (!protected_) protected_.emplace();
  ProtectedSlot* slot = nullptr;
  for (ProtectedSlot& candidate : *protected_) {
    if (candidate.name.empty()) {
      slot = &candidate;
      break;
    }
  }
  if (!slot) slot = &protected_->emplace_back();
  slot->name = platform::LCase(Filename);
  slot->handle = platform::fs::OpenFile(Filename, platform::fs::OpenMode::kBinary, platform::fs::Access::kReadWrite,
                                        platform::fs::Share::kDenyAll);
  if (slot->handle == 0) slot->name.clear();
  return slot->handle;
}

void cFileMgr::UnprotectFile(const std::string& Filename) {
  if (!protected_) return;
  const std::string name = platform::LCase(Filename);
  for (ProtectedSlot& slot : *protected_) {
    if (!slot.name.empty() && slot.name == name) {
      slot.name.clear();
      platform::fs::CloseFile(slot.handle);
      slot.handle = 0;
      return;
    }
  }
}

bool cFileMgr::OwnsHandle(int32_t handle) const { return handle != 0 && !ProtectedName(handle).empty(); }

std::string cFileMgr::ProtectedName(int32_t handle) const {
  if (!protected_ || handle == 0) return {};
  for (const ProtectedSlot& slot : *protected_) {
    if (slot.handle == handle && !slot.name.empty()) return slot.name;
  }
  return {};
}

}  // namespace store
