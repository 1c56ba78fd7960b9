#include "platform/com/names.h"

#include <cstdint>

namespace platform::com {
namespace {

constexpr unsigned char Lower(char c) {
  return static_cast<unsigned char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
}

}  // namespace

std::size_t NameHash::operator()(std::string_view name) const noexcept {
  // FNV-1a over the lower-case bytes.
  uint64_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= Lower(c);
    hash *= 1099511628211ull;
  }
  return static_cast<std::size_t>(hash);
}

bool NameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace platform::com
