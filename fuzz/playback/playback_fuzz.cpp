// Outside bytes as a store file, played back in a private root.
//
// The first byte chooses what the rest is (common/store_bytes.h): the file
// as it stands, entries behind a valid header, or the same entries in valid
// compressed chunks, so the chunk reader and the entries behind it are both
// reached.
//
// Every restored file lands below <root>/restore (the playback's restore
// root); the checks: no crash, hang or sanitizer report, nothing written
// beside the root's own folders, and no struct in the bag that the store did
// not hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "common/private_root.h"
#include "common/store_bytes.h"
#include "platform/fs/file_numbers.h"
#include "platform/registry/registry.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"
#include "store/store_format.h"

namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The folders the root may hold after a playback.
bool OnlyKnownEntries(const fs::path& root) {
  static const std::set<std::string> known{"s.bin", "restore", "commonfiles", "registry.db", "registry.db-journal",
                                           "registry.db-wal", "registry.db-shm", "tmp", "config", "run"};
  for (const auto& item : fs::directory_iterator(root)) {
    const std::string name = item.path().filename().string();
    if (!known.contains(name) && !name.starts_with(".s.bin.") && !name.starts_with("registry.db")) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const fs::path& root = fuzz_support::UsePrivateRoot("playback");
  static int runs = 0;
  if (++runs % 500 == 0) {
    fs::remove(service::SystemLogPath());
    platform::registry::ResetHiveForTesting();
    std::error_code ignored;
    fs::remove(root / "registry.db", ignored);
  }
  // Kept for the whole run and never released: its release would log after
  // the thread's support objects are gone.
  static store::cFileMgr& mgr = [&]() -> store::cFileMgr& {
    auto* made = new store::cFileMgr;
    made->SetRestoreRoot((root / "restore").string());
    return *made;
  }();

  const std::string file = fuzz_support::StoreFileBytes(data, size);
  const std::string store_path = (root / "s.bin").string();
  mgr.UnprotectFile(store_path);
  WriteBytes(root / "s.bin", file);

  auto bag = mgr.PlayBackStoreFile(store_path);
  if (bag->Count() > mgr.LastPlayback().entries) __builtin_trap();
  if (!OnlyKnownEntries(root)) __builtin_trap();
  mgr.UnprotectFile(store_path);
  std::error_code ignored;
  fs::remove_all(root / "restore", ignored);
  return 0;
}
