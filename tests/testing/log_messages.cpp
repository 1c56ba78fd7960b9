#include "testing/log_messages.h"

#include "testing/temp_root.h"

namespace testing_support {

std::vector<std::string> LogFileMessages(const std::filesystem::path& file) {
  const std::string text = ReadFileBytes(file);
  std::vector<std::string> messages;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n[", start);
    end = end == std::string::npos ? text.size() : end + 2;
    std::string line = text.substr(start, end - start);
    start = end;
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
    const size_t first = line.find("] ");
    const size_t second = first == std::string::npos ? first : line.find("] ", first + 2);
    messages.push_back(second == std::string::npos ? line : line.substr(second + 2));
  }
  return messages;
}

}  // namespace testing_support
