#include "platform/xml/handle_table.h"

#include <algorithm>
#include <utility>

namespace platform::xml::detail {

namespace {

// Emptied tables up to this many slots (16 KiB) are kept.
constexpr std::size_t kKeptCapacity = 1024;

}  // namespace

void HandleTable::Reserve(std::size_t more) {
  std::size_t capacity = capacity_ == 0 ? 16 : capacity_;
  while ((used_ + more) * 2 > capacity) capacity *= 2;
  if (capacity != capacity_) Rebuild(capacity);
}

void HandleTable::Clear() noexcept {
  used_ = 0;
  if (capacity_ > kKeptCapacity) {
    slots_.reset();
    capacity_ = 0;
    shift_ = 64;
    return;
  }
  std::fill(slots_.get(), slots_.get() + capacity_, Slot{nullptr, 0});
}

void HandleTable::Vacate(std::size_t hole) noexcept {
  --used_;
  if (used_ == 0 && capacity_ > kKeptCapacity) {
    slots_.reset();
    capacity_ = 0;
    shift_ = 64;
    return;
  }
  // Shift back the entries after the hole that may not stand past it, so
  // that every probe still reaches its key without tombstones.
  const std::size_t mask = capacity_ - 1;
  for (std::size_t at = (hole + 1) & mask; slots_[at].key != nullptr; at = (at + 1) & mask) {
    const std::size_t home = Home(slots_[at].key);
    // The entry may move into the hole when its home is not in (hole, at].
    const bool stays = hole < at ? (home > hole && home <= at) : (home > hole || home <= at);
    if (stays) continue;
    slots_[hole] = slots_[at];
    hole = at;
  }
  slots_[hole] = {nullptr, 0};
}

void HandleTable::Rebuild(std::size_t capacity) {
  unsigned shift = 64;
  for (std::size_t size = capacity; size > 1; size >>= 1) --shift;
  auto slots = std::make_unique<Slot[]>(capacity);  // value-initialised: every key null
  std::unique_ptr<Slot[]> old = std::exchange(slots_, std::move(slots));
  const std::size_t old_capacity = std::exchange(capacity_, capacity);
  shift_ = shift;
  const std::size_t mask = capacity_ - 1;
  for (std::size_t i = 0; i < old_capacity; ++i) {
    if (old[i].key == nullptr) continue;
    std::size_t at = Home(old[i].key);
    while (slots_[at].key != nullptr) at = (at + 1) & mask;
    slots_[at] = old[i];
  }
}

}  // namespace platform::xml::detail
