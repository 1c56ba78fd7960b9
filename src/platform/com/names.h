// Member names and ProgIDs compare without regard to (ASCII) letter case, as
// late binding does. Maps keyed this way are found by string_view without
// building a lower-case copy.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform::com {

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const noexcept;
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};

template <class Value>
using NameMap = std::unordered_map<std::string, Value, NameHash, NameEqual>;

}  // namespace platform::com
