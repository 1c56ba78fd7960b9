// A fresh machine root per test, with the hive's diagnostics collected.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace platform::registry {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMachineRoot(root_.path());
    SetDiagnosticSink([this](const std::string& message) {
      std::lock_guard lock(diagnostics_mutex_);
      diagnostics_.push_back(message);
    });
  }
  void TearDown() override {
    ResetHiveForTesting();
    SetDiagnosticSink({});
    SetMachineRoot({});
  }

  std::vector<std::string> Diagnostics() {
    std::lock_guard lock(diagnostics_mutex_);
    return diagnostics_;
  }

  // Creates (or opens) a key with every right; fails the test otherwise.
  HKEY Create(const char* path, HKEY root = kHkeyLocalMachine) {
    HKEY key = 0;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, kKeyAllAccess, nullptr, &key, nullptr), kErrorSuccess)
        << path;
    return key;
  }
  HKEY Open(const char* path, REGSAM access = kKeyAllAccess, HKEY root = kHkeyLocalMachine) {
    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, access, &key), kErrorSuccess) << path;
    return key;
  }
  static LONG SetString(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, kRegSz, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
  }
  // The value's raw bytes, or "<code N>" when the query fails.
  static std::string Query(HKEY key, const char* name, DWORD* type = nullptr) {
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (result != kErrorSuccess) return "<code " + std::to_string(result) + ">";
    std::string data(size, '\0');
    result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result != kErrorSuccess) return "<code " + std::to_string(result) + ">";
    data.resize(size);
    return data;
  }
  // Names of the subkeys, or of the values, in enumeration order.
  static std::vector<std::string> Subkeys(HKEY key) { return Names(key, true); }
  static std::vector<std::string> ValueNames(HKEY key) { return Names(key, false); }
  static std::vector<std::string> Names(HKEY key, bool subkeys) {
    std::vector<std::string> names;
    char name[512];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof(name);
      LONG result = subkeys ? RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                            : RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
      if (result != kErrorSuccess) {
        EXPECT_EQ(result, kErrorNoMoreItems);
        return names;
      }
      names.emplace_back(name, size);
    }
  }

  testing_support::TempRoot root_;

 private:
  std::mutex diagnostics_mutex_;
  std::vector<std::string> diagnostics_;
};

}  // namespace platform::registry
