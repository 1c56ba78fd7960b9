// Outside bytes as a store file, played back in a private root.
//
// The first byte chooses what the rest is:
//   0  the store file's bytes as they are
//   1  the entries of a store: a valid header (EntryCount from the second
//      byte) is put in front
//   2  the same entries, compressed into valid chunks behind a compressed
//      header, so the chunk reader and the entries behind it are both reached
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
#include "platform/fs/file_numbers.h"
#include "platform/registry/registry.h"
#include "service/contracts/support_objects.h"
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

std::string Header(int32_t entry_count, bool compressed) {
  store::StoreFileHeader header;
  header.EntryCount = entry_count;
  header.TokenID = "fuzz";
  header.Stamp = "stamp";
  header.Compressed = compressed;
  std::string bytes;
  store::Encode(bytes, header);
  return bytes;
}

std::string Chunks(std::string_view body) {
  const int64_t count = (static_cast<int64_t>(body.size()) + store::kBodyChunkSize - 1) / store::kBodyChunkSize;
  std::string out;
  auto crypto = contracts::Support().Crypto();
  for (int64_t i = 0; i < count; ++i) {
    const std::string_view chunk = body.substr(static_cast<size_t>(i * store::kBodyChunkSize), store::kBodyChunkSize);
    const store::Bytes packed =
        crypto->Compress(std::span(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()));
    store::Encode(out, store::ChunkRecord{static_cast<int32_t>(count), static_cast<int32_t>(packed.size()),
                                          static_cast<int32_t>(chunk.size())});
    out.append(reinterpret_cast<const char*>(packed.data()), packed.size());
  }
  return out;
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

  const uint8_t mode = data[0] % 3;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string file;
  if (mode == 0) {
    file = std::string(rest);
  } else {
    const int32_t entries = rest.empty() ? 0 : static_cast<uint8_t>(rest[0]) % 16;
    if (!rest.empty()) rest.remove_prefix(1);
    file = mode == 1 ? Header(entries, false) + std::string(rest) : Header(entries, true) + Chunks(rest);
  }
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
