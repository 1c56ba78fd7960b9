#include "lifecycle_fixture.h"

#include <regex>

namespace service {

std::string Literal(std::string_view text) {
  std::string pattern;
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

::testing::AssertionResult AppearInOrder(const std::vector<std::string>& messages,
                                         const std::vector<std::string>& expected) {
  size_t at = 0;
  for (const std::string& pattern : expected) {
    const std::regex wanted(pattern);
    while (at < messages.size() && !std::regex_match(messages[at], wanted)) ++at;
    if (at == messages.size()) {
      std::string shown;
      for (const std::string& message : messages) shown += "\n  " + message;
      return ::testing::AssertionFailure() << "no line matching \"" << pattern << "\" in order in:" << shown;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

size_t CountMatching(const std::vector<std::string>& messages, const std::string& pattern) {
  const std::regex wanted(pattern);
  size_t count = 0;
  for (const std::string& message : messages) count += std::regex_match(message, wanted) ? 1 : 0;
  return count;
}

}  // namespace service
