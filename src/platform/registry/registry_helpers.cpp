#include "platform/registry/registry_helpers.h"

#include <cstring>

#include "platform/registry/registry.h"

namespace platform::registry {
namespace {

// An open key, closed when it goes.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_ != 0) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  LONG Open(HKEY root, std::string_view path, REGSAM access) {
    std::string sub_key(path);
    return RegOpenKeyExA(root, sub_key.c_str(), 0, access, &key_);
  }
  LONG Create(HKEY root, std::string_view path) {
    std::string sub_key(path);
    return RegCreateKeyExA(root, sub_key.c_str(), 0, nullptr, kRegOptionNonVolatile, kKeyAllAccess, nullptr, &key_,
                           nullptr);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = 0;
};

// Reads a whole value into `data`, growing the buffer when another writer
// made it larger between the size query and the read.
LONG QueryWhole(HKEY key, const std::string& name, DWORD* type, std::string* data) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, &size);
    if (result != kErrorSuccess) return result;
    data->resize(size);
    result = RegQueryValueExA(key, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(data->data()), &size);
    if (result == kErrorMoreData) continue;
    if (result == kErrorSuccess) data->resize(size);
    return result;
  }
  return kErrorMoreData;
}

template <class Number>
std::optional<Number> ReadNumber(HKEY root, std::string_view key_path, std::string_view name, DWORD wanted) {
  RegValue value;
  if (ReadValue(root, key_path, name, &value) != kErrorSuccess) return std::nullopt;
  if (value.type != wanted || value.data.size() != sizeof(Number)) return std::nullopt;
  Number number;
  std::memcpy(&number, value.data.data(), sizeof(Number));
  return number;
}

}  // namespace

LONG ReadValue(HKEY root, std::string_view key_path, std::string_view name, RegValue* value) {
  ScopedKey key;
  LONG result = key.Open(root, key_path, kKeyQueryValue);
  if (result != kErrorSuccess) return result;
  value->name.assign(name);
  return QueryWhole(key.get(), value->name, &value->type, &value->data);
}

LONG WriteValue(HKEY root, std::string_view key_path, std::string_view name, DWORD type, std::string_view data) {
  ScopedKey key;
  LONG result = key.Create(root, key_path);
  if (result != kErrorSuccess) return result;
  std::string value_name(name);
  return RegSetValueExA(key.get(), value_name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

std::optional<std::string> ReadStringValue(HKEY root, std::string_view key_path, std::string_view name) {
  RegValue value;
  if (ReadValue(root, key_path, name, &value) != kErrorSuccess) return std::nullopt;
  if (value.type != kRegSz && value.type != kRegExpandSz) return std::nullopt;
  while (!value.data.empty() && value.data.back() == '\0') value.data.pop_back();
  return value.data;
}

LONG WriteStringValue(HKEY root, std::string_view key_path, std::string_view name, std::string_view text,
                      DWORD type) {
  std::string data(text);
  data.push_back('\0');
  return WriteValue(root, key_path, name, type, data);
}

std::optional<uint32_t> ReadDwordValue(HKEY root, std::string_view key_path, std::string_view name) {
  return ReadNumber<uint32_t>(root, key_path, name, kRegDword);
}

LONG WriteDwordValue(HKEY root, std::string_view key_path, std::string_view name, uint32_t number) {
  return WriteValue(root, key_path, name, kRegDword,
                    std::string_view(reinterpret_cast<const char*>(&number), sizeof(number)));
}

std::optional<uint64_t> ReadQwordValue(HKEY root, std::string_view key_path, std::string_view name) {
  return ReadNumber<uint64_t>(root, key_path, name, kRegQword);
}

LONG WriteQwordValue(HKEY root, std::string_view key_path, std::string_view name, uint64_t number) {
  return WriteValue(root, key_path, name, kRegQword,
                    std::string_view(reinterpret_cast<const char*>(&number), sizeof(number)));
}

bool KeyExists(HKEY root, std::string_view key_path) {
  ScopedKey key;
  return key.Open(root, key_path, 0) == kErrorSuccess;
}

LONG CreateKey(HKEY root, std::string_view key_path) {
  ScopedKey key;
  return key.Create(root, key_path);
}

LONG DeleteValue(HKEY root, std::string_view key_path, std::string_view name) {
  ScopedKey key;
  LONG result = key.Open(root, key_path, kKeySetValue);
  if (result != kErrorSuccess) return result;
  std::string value_name(name);
  return RegDeleteValueA(key.get(), value_name.c_str());
}

LONG DeleteKeyTree(HKEY root, std::string_view key_path) {
  std::string sub_key(key_path);
  return RegDeleteTreeA(root, sub_key.c_str());
}

LONG ListSubkeys(HKEY root, std::string_view key_path, std::vector<std::string>* names) {
  names->clear();
  ScopedKey key;
  LONG result = key.Open(root, key_path, kKeyEnumerateSubKeys);
  if (result != kErrorSuccess) return result;
  char name[kMaxKeyNameLength + 1];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof(name);
    result = RegEnumKeyExA(key.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == kErrorNoMoreItems) return kErrorSuccess;
    if (result != kErrorSuccess) return result;
    names->emplace_back(name, size);
  }
}

LONG ListValues(HKEY root, std::string_view key_path, std::vector<RegValue>* values) {
  values->clear();
  ScopedKey key;
  LONG result = key.Open(root, key_path, kKeyQueryValue);
  if (result != kErrorSuccess) return result;
  std::string name(kMaxValueNameLength + 1, '\0');
  std::string data;
  for (DWORD index = 0;; ++index) {
    RegValue value;
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>(data.size());
    result = RegEnumValueA(key.get(), index, name.data(), &name_size, nullptr, &value.type,
                           reinterpret_cast<BYTE*>(data.data()), &data_size);
    if (result == kErrorMoreData) {
      data.resize(data_size);  // the name always fits; grow the data and ask again
      --index;
      continue;
    }
    if (result == kErrorNoMoreItems) return kErrorSuccess;
    if (result != kErrorSuccess) return result;
    value.name.assign(name.data(), name_size);
    value.data.assign(data.data(), data_size);
    values->push_back(std::move(value));
  }
}

}  // namespace platform::registry
