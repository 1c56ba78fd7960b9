// Internal: how many handles refer to each node of one document. Not part of
// the public API.
//
// One flat open-addressing table (linear probing, deletion by shifting back,
// at most half full): counting a handle in or out is a hash and a probe or
// two, with no allocation except when the table grows. Emptied, a large
// table gives its memory back, so a document that once held many handles
// does not keep it for good; a small one stays for the next handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::xml::detail {

class HandleTable {
 public:
  HandleTable() = default;
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // One more handle on key; may throw std::bad_alloc when the table grows.
  void Add(const void* key);
  // Room for that many more keys without growing on the way (a list of
  // handles made at once).
  void Reserve(std::size_t more);
  // One handle less on key; true when it was the last one on key. A key not
  // counted is left alone (false).
  bool Drop(const void* key) noexcept;
  bool Contains(const void* key) const noexcept { return Find(key) != kNone; }
  // Every count gone at once.
  void Clear() noexcept;
  // Keys with at least one handle.
  std::size_t Keys() const noexcept { return used_; }

 private:
  struct Slot {
    const void* key;
    std::uint32_t count;
  };
  static constexpr std::size_t kNone = ~std::size_t{0};

  std::size_t Home(const void* key) const noexcept {
    // Nodes are 8-byte aligned records; Fibonacci hashing spreads the rest.
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key)) >> 3;
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  std::size_t Find(const void* key) const noexcept;
  void Rebuild(std::size_t capacity);
  // Empties the slot whose count reached 0.
  void Vacate(std::size_t hole) noexcept;

  std::unique_ptr<Slot[]> slots_;
  std::size_t capacity_ = 0;  // a power of two, or 0
  std::size_t used_ = 0;
  unsigned shift_ = 64;
};

inline std::size_t HandleTable::Find(const void* key) const noexcept {
  if (capacity_ == 0) return kNone;
  const std::size_t mask = capacity_ - 1;
  for (std::size_t at = Home(key);; at = (at + 1) & mask) {
    if (slots_[at].key == key) return at;
    if (slots_[at].key == nullptr) return kNone;
  }
}

inline void HandleTable::Add(const void* key) {
  if ((used_ + 1) * 2 > capacity_) Rebuild(capacity_ == 0 ? 16 : capacity_ * 2);
  const std::size_t mask = capacity_ - 1;
  for (std::size_t at = Home(key);; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.key == key) {
      ++slot.count;
      return;
    }
    if (slot.key == nullptr) {
      slot = {key, 1};
      ++used_;
      return;
    }
  }
}

inline bool HandleTable::Drop(const void* key) noexcept {
  const std::size_t at = Find(key);
  if (at == kNone || --slots_[at].count > 0) return false;
  Vacate(at);
  return true;
}

}  // namespace platform::xml::detail
