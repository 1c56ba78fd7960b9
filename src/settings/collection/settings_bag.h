// The keyed bag behind a settings collection: names to values, in insertion
// order, with lookups, replacement and removal by name in constant time and
// positions (0-based here) for walking the names in order.
//
// Names are compared exactly (byte for byte); the collection lower-cases them
// before they get here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/basic/variant.h"

namespace settings {

// Hashes names, and lets a string_view find a string key without a copy.
struct SettingNameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>()(text); }
};

}  // namespace settings

#if defined(__GLIBCXX__)
// The table keeps each name's hash beside it, as it does for std::hash of
// strings: a lookup then compares stored hashes instead of hashing every name
// in the bucket again, which reads the names from all over memory in a big
// collection and made loading 10,000 settings cost more per setting than
// loading 1,000.
template <>
struct std::__is_fast_hash<settings::SettingNameHash> : std::false_type {};
#endif

namespace settings {

class SettingsBag {
 public:
  struct Entry {
    std::string name;
    platform::Variant value;
  };

  std::size_t Count() const { return live_; }
  bool Exists(std::string_view name) const { return index_.find(name) != index_.end(); }
  // The value stored under the name; null when absent.
  const platform::Variant* Find(std::string_view name) const;
  // Adds the name at the end, or replaces its value where it stands.
  void Set(std::string_view name, platform::Variant value);
  // The value stored under the name, added (Empty) at the end when absent;
  // `added` tells which.
  platform::Variant& Slot(std::string&& name, bool* added);
  // False when the name was absent.
  bool Remove(std::string_view name);
  void Clear();

  // The entry at a position (0 to Count() - 1), in insertion order.
  const Entry& At(std::size_t position);

  // Walking in order without disturbing positions: slots run from 0 to
  // SlotCount() - 1 in insertion order; a removed entry leaves an empty slot
  // (null) until the next At.
  std::size_t SlotCount() const { return slots_.size(); }
  const Entry* SlotAt(std::size_t slot) const { return slots_[slot] ? &*slots_[slot] : nullptr; }
  // The slot of a name; nullopt when absent.
  std::optional<std::size_t> SlotOf(std::string_view name) const;

  // Hands every entry over, in order, leaving the bag empty.
  std::vector<Entry> TakeEntries();

 private:
  // Closes the gaps removals left, so that slots are positions again.
  void Compact();

  std::vector<std::optional<Entry>> slots_;
  std::unordered_map<std::string, std::size_t, SettingNameHash, std::equal_to<>> index_;  // name -> slot
  std::size_t live_ = 0;
};

}  // namespace settings
