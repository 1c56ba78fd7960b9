#include "settings/collection/settings_bag.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace settings {
namespace {

constexpr std::size_t kSmallestIndex = 16;

// The parts of an index cell.
uint32_t TagOf(uint64_t cell) { return static_cast<uint32_t>(cell >> 32); }
std::size_t SlotIn(uint64_t cell) { return static_cast<std::size_t>(static_cast<uint32_t>(cell)) - 1; }
uint64_t MakeCell(uint32_t tag, std::size_t slot) { return (uint64_t{tag} << 32) | static_cast<uint32_t>(slot + 1); }

}  // namespace

uint64_t SettingsBag::HashOf(std::string_view name) { return std::hash<std::string_view>()(name); }

std::size_t SettingsBag::CellOf(std::string_view name, uint64_t hash) const {
  const std::size_t mask = cells_.size() - 1;
  const uint32_t tag = static_cast<uint32_t>(hash >> 32);
  for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
    const uint64_t cell = cells_[at];
    if (cell == 0) return at;
    if (TagOf(cell) == tag && slots_[SlotIn(cell)]->name == name) return at;
  }
}

std::size_t SettingsBag::FindSlot(std::string_view name, uint64_t hash) const {
  if (live_ == 0) return kNone;
  const uint64_t cell = cells_[CellOf(name, hash)];
  return cell == 0 ? kNone : SlotIn(cell);
}

void SettingsBag::IndexSlot(std::size_t slot, uint64_t hash) {
  const std::size_t mask = cells_.size() - 1;
  const uint32_t tag = static_cast<uint32_t>(hash >> 32);
  std::size_t at = tag & mask;
  while (cells_[at] != 0) at = (at + 1) & mask;
  cells_[at] = MakeCell(tag, slot);
}

void SettingsBag::Reindex(std::size_t count) {
  std::size_t size = kSmallestIndex;
  while (size < 2 * count) size *= 2;
  std::vector<uint64_t> old(size, 0);
  old.swap(cells_);
  // The tag says where a cell belongs in a table of any size: no name is
  // hashed again.
  const std::size_t mask = cells_.size() - 1;
  for (uint64_t cell : old) {
    if (cell == 0) continue;
    std::size_t at = TagOf(cell) & mask;
    while (cells_[at] != 0) at = (at + 1) & mask;
    cells_[at] = cell;
  }
}

const platform::Variant* SettingsBag::Find(std::string_view name) const {
  const std::size_t slot = FindSlot(name, HashOf(name));
  return slot == kNone ? nullptr : &slots_[slot]->value;
}

void SettingsBag::Set(std::string_view name, platform::Variant value) {
  bool added = false;
  Slot(std::string(name), &added) = std::move(value);
}

platform::Variant& SettingsBag::Slot(std::string&& name, bool* added) {
  if (2 * (live_ + 1) > cells_.size()) Reindex(live_ + 1);
  const uint64_t hash = HashOf(name);
  const std::size_t at = CellOf(name, hash);
  *added = cells_[at] == 0;
  if (!*added) return slots_[SlotIn(cells_[at])]->value;
  cells_[at] = MakeCell(static_cast<uint32_t>(hash >> 32), slots_.size());
  slots_.emplace_back(Entry{std::move(name), platform::Variant()});
  ++live_;
  return slots_.back()->value;
}

bool SettingsBag::Remove(std::string_view name) {
  if (live_ == 0) return false;
  std::size_t hole = CellOf(name, HashOf(name));
  if (cells_[hole] == 0) return false;
  const std::size_t slot = SlotIn(cells_[hole]);
  slots_[slot].reset();
  --live_;
  // Linear probing without markers: the cells after the hole that would no
  // longer be found move back into it.
  const std::size_t mask = cells_.size() - 1;
  cells_[hole] = 0;
  for (std::size_t at = (hole + 1) & mask; cells_[at] != 0; at = (at + 1) & mask) {
    const std::size_t home = TagOf(cells_[at]) & mask;
    // Whether `home` lies cyclically in (hole, at]: then the cell stays.
    const bool stays = hole <= at ? (home > hole && home <= at) : (home > hole || home <= at);
    if (stays) continue;
    cells_[hole] = cells_[at];
    cells_[at] = 0;
    hole = at;
  }
  // Trailing gaps cost nothing to drop; others wait for the next Compact.
  while (!slots_.empty() && !slots_.back()) slots_.pop_back();
  return true;
}

void SettingsBag::Clear() {
  slots_.clear();
  std::fill(cells_.begin(), cells_.end(), 0);
  live_ = 0;
}

void SettingsBag::Compact() {
  if (slots_.size() == live_) return;
  std::vector<uint32_t> moved_to(slots_.size(), 0);
  std::size_t to = 0;
  for (std::size_t from = 0; from < slots_.size(); ++from) {
    if (!slots_[from]) continue;
    if (to != from) slots_[to] = std::move(slots_[from]);
    moved_to[from] = static_cast<uint32_t>(to);
    ++to;
  }
  slots_.resize(to);
  for (uint64_t& cell : cells_) {
    if (cell != 0) cell = MakeCell(TagOf(cell), moved_to[SlotIn(cell)]);
  }
}

const SettingsBag::Entry& SettingsBag::At(std::size_t position) {
  Compact();
  return *slots_.at(position);
}

std::optional<std::size_t> SettingsBag::SlotOf(std::string_view name) const {
  const std::size_t slot = FindSlot(name, HashOf(name));
  if (slot == kNone) return std::nullopt;
  return slot;
}

std::vector<SettingsBag::Entry> SettingsBag::TakeEntries() {
  std::vector<Entry> entries;
  entries.reserve(live_);
  for (auto& slot : slots_) {
    if (slot) entries.push_back(std::move(*slot));
  }
  Clear();
  return entries;
}

}  // namespace settings
