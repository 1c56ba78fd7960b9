// The fixture of the secure log tests: a temporary root, the log folder and
// key below it, the diagnostic lines, and helpers that read the files.
#pragma once

#include <gtest/gtest.h>
#include <openssl/hmac.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/err.h"
#include "support/diagnostics/diagnostics.h"
#include "support/securelog/log_format.h"
#include "support/securelog/secure_log_file.h"
#include "support/securelog/secure_log_reading.h"
#include "testing/temp_root.h"

namespace support {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

inline std::string Hmac(const std::string& key, const std::string& data) {
  unsigned char out[32];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
       data.size(), out, &length);
  return std::string(reinterpret_cast<char*>(out), length);
}

inline std::string Le32(uint32_t n) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((n >> (8 * i)) & 0xff);
  return s;
}

inline std::string Le64(uint64_t n) {
  std::string s;
  for (int i = 0; i < 8; ++i) s += static_cast<char>((n >> (8 * i)) & 0xff);
  return s;
}

class SecureLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDiagnosticSink([this](const std::string& line) {
      std::lock_guard lock(mutex_);
      diagnostics_.push_back(line);
    });
  }
  void TearDown() override { SetDiagnosticSink({}); }

  std::unique_ptr<SecureLogFile> OpenLog(const std::string& name = "REPORT") {
    auto log = std::make_unique<SecureLogFile>(folder(), key());
    log->Open(name, "{3B7D2A90-6C1E-4f58-A2D4-7E90C1B5F3A6}");
    return log;
  }
  std::string folder() const { return (root_ / "logs").string(); }
  std::string key() const { return (root_ / "keys/securelog.key").string(); }
  std::filesystem::path LogFile(const std::string& stem = "report") const { return root_ / "logs" / (stem + ".slog"); }
  struct Inspected {
    std::vector<std::string> entries;
    uint64_t read = 0;
    std::vector<std::string> problems;
  };
  Inspected Inspect(const std::string& name = "REPORT") {
    Inspected out;
    SecureLogInspection inspection = InspectSecureLog(folder(), name, key(), EntriesWanted::kAll,
                                                      [&](std::string_view entry) { out.entries.emplace_back(entry); });
    out.read = inspection.read;
    out.problems = inspection.problems;
    return out;
  }
  std::filesystem::path StateFile(const std::string& stem = "report") const {
    return root_ / "logs" / (stem + ".state");
  }
  // Files beside the logs whose names start with `prefix`.
  std::vector<std::filesystem::path> FilesStartingWith(const std::string& prefix) const {
    std::vector<std::filesystem::path> found;
    for (const auto& item : std::filesystem::directory_iterator(root_ / "logs")) {
      if (item.path().filename().string().rfind(prefix, 0) == 0) found.push_back(item.path());
    }
    return found;
  }
  std::vector<std::string> Diagnostics() {
    std::lock_guard lock(mutex_);
    return diagnostics_;
  }
  bool Reported(const std::string& part) {
    for (const std::string& line : Diagnostics()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  // The records of a log file, walked by their tags and lengths: byte
  // offsets of the entry records, and how many mark and seal records stand
  // between them. (A search for a tag byte would also find it inside a hash.)
  struct Layout {
    std::vector<size_t> entries;
    size_t marks = 0;
    size_t seals = 0;
  };
  static Layout LayoutOf(const std::string& bytes) {
    Layout layout;
    size_t at = securelog::kHeaderSize;
    while (at + 5 <= bytes.size()) {
      if (bytes[at] == securelog::kMarkTag) {
        ++layout.marks;
        at += securelog::kMarkSize;
        continue;
      }
      if (bytes[at] == securelog::kSealTag) {
        ++layout.seals;
        at += securelog::kSealSize;
        continue;
      }
      layout.entries.push_back(at);
      uint32_t length = 0;
      for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(bytes[at + 1 + i]);
      at += securelog::kRecordOverhead + length;
    }
    return layout;
  }
  static std::vector<size_t> RecordOffsets(const std::string& bytes) { return LayoutOf(bytes).entries; }

  testing_support::TempRoot root_;
  std::mutex mutex_;
  std::vector<std::string> diagnostics_;
};

}  // namespace support
