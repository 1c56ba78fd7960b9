// Letter tests shared by the set arithmetic.
#pragma once

#include <cctype>
#include <string_view>

namespace service::detail {

// Whether `set` holds `letter`, without regard to (ASCII) letter case.
inline bool HoldsLetter(std::string_view set, char letter) {
  const int folded = std::tolower(static_cast<unsigned char>(letter));
  for (char c : set) {
    if (std::tolower(static_cast<unsigned char>(c)) == folded) return true;
  }
  return false;
}

}  // namespace service::detail
