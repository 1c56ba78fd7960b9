// The registry object over the machine's hive (platform/registry).
//
// The hive keeps no per-key security: every program that reaches the hive
// may read and write every key, so granting an account access has nothing
// left to change and succeeds while the key is open and still exists.
#pragma once

#include <string>

#include "contracts/registry_object.h"

namespace support {

class RegistryObject : public contracts::RegistryObject {
 public:
  RegistryObject() = default;
  ~RegistryObject() override;
  RegistryObject(const RegistryObject&) = delete;
  RegistryObject& operator=(const RegistryObject&) = delete;

  bool OpenKey(contracts::HKEY root, const std::string& path, contracts::REGSAM access) override;
  bool CreateKey(contracts::HKEY root, const std::string& path, contracts::REGSAM access) override;
  bool IsOpen() const override { return key_ != 0; }
  void CloseKey() override;
  std::string ReadString(const std::string& name) override;
  bool WriteString(const std::string& name, const std::string& text) override;
  bool DeleteValue(const std::string& name) override;
  bool GrantFullAccess(const std::string& account) override;

 private:
  contracts::HKEY key_ = 0;
};

}  // namespace support
