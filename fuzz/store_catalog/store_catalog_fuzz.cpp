// Outside bytes as a store file, read by ReadStoreCatalog (what `hearthctl
// store list` prints) in a private root.
//
// The first byte chooses what the rest is (common/store_bytes.h): the file
// as it stands, entries behind a valid header, or the same entries in valid
// compressed chunks. What must hold:
//   - a file that cannot be read says why (error) and lists nothing;
//   - otherwise the entries are numbered 1, 2, ... in order, at most
//     EntryCount of them, each described; fewer than EntryCount only with
//     the damage named ("entry N: ..." for the first one missing);
//   - file_size is the file's size, and a compressed body only under a
//     header that says so;
//   - reading changes nothing: the store keeps its bytes, no file is left
//     anywhere below the root (the expanded body's work file is removed);
//   - a second reading gives the same catalog.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

#include "common/private_root.h"
#include "common/store_bytes.h"
#include "store/store_catalog.h"

namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) std::abort();
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::set<fs::path> FilesBelow(const fs::path& root) {
  std::set<fs::path> files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_directory()) files.insert(item.path());
  }
  return files;
}

bool Same(const store::StoreCatalog& a, const store::StoreCatalog& b) {
  if (a.error != b.error || a.file_size != b.file_size || a.body_compressed != b.body_compressed ||
      a.damage != b.damage || a.entries.size() != b.entries.size() || a.header.EntryCount != b.header.EntryCount)
    return false;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const auto& x = a.entries[i];
    const auto& y = b.entries[i];
    if (x.number != y.number || x.type != y.type || x.data_length != y.data_length || x.description != y.description)
      return false;
  }
  return true;
}

void Check(const store::StoreCatalog& catalog, int64_t size) {
  if (!catalog.error.empty()) {
    if (!catalog.entries.empty() || !catalog.damage.empty()) __builtin_trap();
    return;
  }
  if (catalog.file_size != size) __builtin_trap();
  if (catalog.body_compressed && !catalog.header.Compressed) __builtin_trap();
  const int64_t count = static_cast<int64_t>(catalog.entries.size());
  if (count > std::max<int64_t>(catalog.header.EntryCount, 0)) __builtin_trap();
  for (int64_t i = 0; i < count; ++i) {
    if (catalog.entries[i].number != i + 1 || catalog.entries[i].description.empty()) __builtin_trap();
  }
  const bool complete = count == std::max<int64_t>(catalog.header.EntryCount, 0);
  if (complete != catalog.damage.empty()) __builtin_trap();
  if (!complete && !catalog.damage.starts_with("entry " + std::to_string(count + 1) + ": ")) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const fs::path root = fuzz_support::UsePrivateRoot("store-catalog");
  static const fs::path store_path = [] {
    fs::create_directories(root / "stores");
    return root / "stores" / "s.bin";
  }();
  const std::string bytes = fuzz_support::StoreFileBytes(data, size);
  WriteBytes(store_path, bytes);
  const std::set<fs::path> before = FilesBelow(root);

  const store::StoreCatalog catalog = store::ReadStoreCatalog(store_path.string());
  Check(catalog, static_cast<int64_t>(bytes.size()));
  if (ReadBytes(store_path) != bytes) __builtin_trap();
  if (FilesBelow(root) != before) __builtin_trap();
  if (!Same(store::ReadStoreCatalog(store_path.string()), catalog)) __builtin_trap();
  return 0;
}
