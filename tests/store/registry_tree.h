// Reading and building registry key trees for the backup tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace store::testing {

struct StoredValue {
  uint32_t type = 0;
  std::string data;
  bool operator==(const StoredValue&) const = default;
};

// key path (below the root) -> value name -> value; every key listed, also
// those without values.
using KeyTree = std::map<std::string, std::map<std::string, StoredValue>>;

inline void SetValue(const std::string& key_path, const std::string& name, uint32_t type, const std::string& data) {
  namespace reg = platform::registry;
  reg::HKEY key = 0;
  reg::RegCreateKeyExA(reg::kHkeyLocalMachine, key_path.c_str(), 0, nullptr, 0, reg::kKeyAllAccess, nullptr, &key,
                       nullptr);
  reg::RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const uint8_t*>(data.data()),
                      static_cast<reg::DWORD>(data.size()));
  reg::RegCloseKey(key);
}

inline void CreateKey(const std::string& key_path) {
  namespace reg = platform::registry;
  reg::HKEY key = 0;
  reg::RegCreateKeyExA(reg::kHkeyLocalMachine, key_path.c_str(), 0, nullptr, 0, reg::kKeyAllAccess, nullptr, &key,
                       nullptr);
  reg::RegCloseKey(key);
}

inline void ReadTree(const std::string& key_path, KeyTree& tree) {
  namespace reg = platform::registry;
  reg::HKEY key = 0;
  if (reg::RegOpenKeyExA(reg::kHkeyLocalMachine, key_path.c_str(), 0, reg::kKeyRead, &key) != 0) return;
  auto& values = tree[key_path];
  for (reg::DWORD i = 0;; ++i) {
    char name[1024];
    reg::DWORD name_size = sizeof name;
    reg::DWORD type = 0;
    uint8_t data[4096];
    reg::DWORD size = sizeof data;
    if (reg::RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &size) != 0) break;
    values[std::string(name, name_size)] = {type, std::string(reinterpret_cast<char*>(data), size)};
  }
  std::vector<std::string> subkeys;
  for (reg::DWORD i = 0;; ++i) {
    char name[256];
    reg::DWORD name_size = sizeof name;
    if (reg::RegEnumKeyExA(key, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) != 0) break;
    subkeys.emplace_back(name, name_size);
  }
  reg::RegCloseKey(key);
  for (const auto& sub : subkeys) ReadTree(key_path + "\\" + sub, tree);
}

inline KeyTree Tree(const std::string& key_path) {
  KeyTree tree;
  ReadTree(key_path, tree);
  return tree;
}

}  // namespace store::testing
