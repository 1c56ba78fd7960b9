// A fresh machine root for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // A path below the root.
  std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }

 private:
  std::filesystem::path path_;
};

// Reads a whole file as bytes; empty when missing.
std::string ReadFileBytes(const std::filesystem::path& file);
// Writes bytes to a file, creating parent folders.
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace testing_support
