#include "support/registry/registry_object.h"

#include <cstring>
#include <vector>

#include "platform/registry/registry.h"

namespace support {
namespace reg = platform::registry;

RegistryObject::~RegistryObject() { CloseKey(); }

bool RegistryObject::OpenKey(contracts::HKEY root, const std::string& path, contracts::REGSAM access) {
  CloseKey();
  reg::HKEY key = 0;
  if (reg::RegOpenKeyExA(root, path.c_str(), 0, access, &key) != reg::kErrorSuccess) return false;
  key_ = key;
  return true;
}

bool RegistryObject::CreateKey(contracts::HKEY root, const std::string& path, contracts::REGSAM access) {
  CloseKey();
  reg::HKEY key = 0;
  if (reg::RegCreateKeyExA(root, path.c_str(), 0, nullptr, reg::kRegOptionNonVolatile, access, nullptr, &key,
                           nullptr) != reg::kErrorSuccess) {
    return false;
  }
  key_ = key;
  return true;
}

void RegistryObject::CloseKey() {
  if (key_ != 0) reg::RegCloseKey(key_);
  key_ = 0;
}

std::string RegistryObject::ReadString(const std::string& name) {
  if (key_ == 0) return {};
  reg::DWORD type = 0;
  reg::DWORD size = 0;
  std::vector<reg::BYTE> data;
  reg::LONG rc = reg::kErrorMoreData;
  // The value may grow between the size query and the read; ask again then.
  for (int attempt = 0; attempt < 4 && rc == reg::kErrorMoreData; ++attempt) {
    data.resize(size);
    rc = reg::RegQueryValueExA(key_, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    if (rc == reg::kErrorSuccess && data.size() < size) rc = reg::kErrorMoreData;  // that was the size query
  }
  if (rc != reg::kErrorSuccess) return {};
  data.resize(size);

  switch (type) {
    case reg::kRegDword:
      if (size == 4) {
        uint32_t number = 0;
        std::memcpy(&number, data.data(), 4);
        return std::to_string(number);
      }
      break;
    case reg::kRegQword:
      if (size == 8) {
        uint64_t number = 0;
        std::memcpy(&number, data.data(), 8);
        return std::to_string(number);
      }
      break;
    case reg::kRegSz:
    case reg::kRegExpandSz:
    case reg::kRegMultiSz: {
      // The text up to its terminating NUL (a multi-string: its first string).
      std::string text(data.begin(), data.end());
      if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
      return text;
    }
    default:
      break;
  }
  return std::string(data.begin(), data.end());
}

bool RegistryObject::WriteString(const std::string& name, const std::string& text) {
  if (key_ == 0) return false;
  // Stored with its terminating NUL, as Windows stores string values.
  return reg::RegSetValueExA(key_, name.c_str(), 0, reg::kRegSz, reinterpret_cast<const reg::BYTE*>(text.c_str()),
                             static_cast<reg::DWORD>(text.size() + 1)) == reg::kErrorSuccess;
}

bool RegistryObject::DeleteValue(const std::string& name) {
  if (key_ == 0) return false;
  return reg::RegDeleteValueA(key_, name.c_str()) == reg::kErrorSuccess;
}

bool RegistryObject::GrantFullAccess(const std::string& account) {
  if (key_ == 0 || account.empty()) return false;
  // A key deleted through another handle answers 1018 here.
  reg::DWORD type = 0;
  reg::DWORD size = 0;
  reg::LONG rc = reg::RegQueryValueExA(key_, "", nullptr, &type, nullptr, &size);
  return rc != reg::kErrorKeyDeleted && rc != reg::kErrorInvalidHandle && rc != reg::kErrorRegistryIoFailed;
}

}  // namespace support
