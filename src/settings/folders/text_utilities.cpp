#include "settings/folders/text_utilities.h"

namespace settings {
namespace {

std::string_view TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string TrimControlChars(std::string_view text) {
  auto is_control = [](char c) { return static_cast<unsigned char>(c) < 33; };
  size_t first = 0;
  while (first < text.size() && is_control(text[first])) ++first;
  size_t end = text.size();
  while (end > first && is_control(text[end - 1])) --end;
  return std::string(text.substr(first, end - first));
}

std::string CutAtNul(std::string_view text) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  return std::string(TrimSpaces(text));
}

}  // namespace settings
