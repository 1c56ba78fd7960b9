// The keyed bag behind a settings collection: names to values, in insertion
// order, with lookups, replacement and removal by name in constant time and
// positions (0-based here) for walking the names in order.
//
// Names are compared exactly (byte for byte); the collection lower-cases them
// before they get here.
//
// Each name is kept once, in its entry; the index is one flat open-addressed
// table of entry numbers with a piece of each name's hash beside them. A
// snapshot of thousands of settings is loaded with no allocation for the
// index and with lookups that touch one array, so loading 10,000 settings
// costs per setting what loading 1,000 does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/variant.h"

namespace settings {

class SettingsBag {
 public:
  struct Entry {
    std::string name;
    platform::Variant value;
  };

  std::size_t Count() const { return live_; }
  bool Exists(std::string_view name) const { return FindSlot(name, HashOf(name)) != kNone; }
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
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  static uint64_t HashOf(std::string_view name);
  // The slot holding the name, or kNone.
  std::size_t FindSlot(std::string_view name, uint64_t hash) const;
  // The index cell where the name is, or the empty cell where it would go.
  std::size_t CellOf(std::string_view name, uint64_t hash) const;
  // Enters a slot known to be absent from the index.
  void IndexSlot(std::size_t slot, uint64_t hash);
  // Makes the index big enough for `count` names and enters every slot.
  void Reindex(std::size_t count);
  // Closes the gaps removals left, so that slots are positions again.
  void Compact();

  std::vector<std::optional<Entry>> slots_;
  // Index cells: 0 when empty, else the high half of the name's hash with
  // the slot number + 1 in the low half. A power of two long, at most half
  // full.
  std::vector<uint64_t> cells_;
  std::size_t live_ = 0;
};

}  // namespace settings
