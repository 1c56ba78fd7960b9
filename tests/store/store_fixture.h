// A cFileMgr on a fresh machine root, with a fixed stamp, the system log read
// back, and helpers for files and little-endian bytes.
#pragma once

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "contracts/support_objects.h"
#include "platform/fs/file_numbers.h"
#include "store/file_manager.h"
#include "systemlog/system_log.h"
#include "testing/log_messages.h"
#include "testing/rooted/rooted_test.h"
#include "testing/temp_root.h"

namespace store::testing {

// The environment object with a stamp of the test's choosing.
class FixedEnvironment : public contracts::EnvironmentObject {
 public:
  std::string stamp;
  bool EnvironmentFlag() override { return false; }
  bool ShortNameFlag() override { return false; }
  std::string Stamp() override { return stamp; }
};

// Little-endian field builders for hand-made fixtures.
inline std::string I16(int16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((static_cast<uint16_t>(v) >> 8) & 0xFF)};
}
inline std::string I32(int32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}
inline std::string Text(const std::string& t) { return I16(static_cast<int16_t>(t.size())) + t; }
inline std::string Array(const std::string& bytes, int32_t lower_bound) {
  return I16(1) + I32(static_cast<int32_t>(bytes.size())) + I32(lower_bound) + bytes;
}

inline std::string DateBytes(double serial) {
  uint64_t bits = 0;
  std::memcpy(&bits, &serial, sizeof bits);
  std::string s;
  for (int i = 0; i < 8; ++i) s += static_cast<char>((bits >> (8 * i)) & 0xFF);
  return s;
}

inline std::string Header(int32_t entry_count, const std::string& token, const std::string& stamp, bool compressed) {
  std::string padded = token;
  padded.resize(32, ' ');
  return std::string("\x1ASFHv002", 8) + I32(entry_count) + padded + Text(stamp) + I16(compressed ? -1 : 0) + I32(0) +
         I16(0) + Text("") + Text("");
}

inline std::string Entry(int16_t type, const std::string& body, int32_t number) {
  return std::string("\x1ASEHv002", 8) + I16(type) + I32(static_cast<int32_t>(body.size())) + I32(number) + body;
}

inline std::string FileRecordBytes(const std::string& rel, const std::string& name, double modified, int16_t attributes,
                            int32_t full_chunks, int32_t last_chunk) {
  return Text(rel) + Text(name) + DateBytes(modified) + I16(attributes) + I32(full_chunks) + I32(last_chunk);
}

class StoreTest : public testing_support::RootedTest {
 protected:
  void SetUp() override {
    RootedTest::SetUp();
    environment_->stamp = "";
    use_environment_ = std::make_unique<contracts::ScopedSupportOverride<contracts::EnvironmentObject>>(environment_);
    mgr_ = std::make_shared<cFileMgr>();
    std::filesystem::create_directories(root_ / "work");
  }
  void TearDown() override {
    mgr_.reset();
    platform::fs::CloseAllFiles();
    use_environment_.reset();
    RootedTest::TearDown();
  }

  std::string Path(const std::string& rel) const { return (root_ / rel).string(); }
  std::string Bytes(const std::string& rel) const { return testing_support::ReadFileBytes(root_ / rel); }
  void Write(const std::string& rel, const std::string& bytes) { testing_support::WriteFileBytes(root_ / rel, bytes); }

  static std::vector<std::string> Log() { return testing_support::LogFileMessages(service::SystemLogPath()); }
  static bool Logged(const std::string& line) {
    for (const auto& message : Log()) {
      if (message == line) return true;
    }
    return false;
  }
  static void ClearLog() { std::filesystem::remove(service::SystemLogPath()); }

  std::shared_ptr<FixedEnvironment> environment_ = std::make_shared<FixedEnvironment>();
  std::unique_ptr<contracts::ScopedSupportOverride<contracts::EnvironmentObject>> use_environment_;
  std::shared_ptr<cFileMgr> mgr_;
};

}  // namespace store::testing
