#include "settings/collection/settings_bag.h"

#include <utility>

namespace settings {

const platform::Variant* SettingsBag::Find(std::string_view name) const {
  auto found = index_.find(name);
  return found == index_.end() ? nullptr : &slots_[found->second]->value;
}

void SettingsBag::Set(std::string_view name, platform::Variant value) {
  bool added = false;
  Slot(std::string(name), &added) = std::move(value);
}

platform::Variant& SettingsBag::Slot(std::string&& name, bool* added) {
  auto [at, inserted] = index_.try_emplace(std::move(name), slots_.size());
  *added = inserted;
  if (!inserted) return slots_[at->second]->value;
  slots_.emplace_back(Entry{at->first, platform::Variant()});
  ++live_;
  return slots_.back()->value;
}

bool SettingsBag::Remove(std::string_view name) {
  auto found = index_.find(name);
  if (found == index_.end()) return false;
  const std::size_t slot = found->second;
  index_.erase(found);
  slots_[slot].reset();
  --live_;
  // Trailing gaps cost nothing to drop; others wait for the next Compact.
  while (!slots_.empty() && !slots_.back()) slots_.pop_back();
  return true;
}

void SettingsBag::Clear() {
  slots_.clear();
  index_.clear();
  live_ = 0;
}

void SettingsBag::Compact() {
  if (slots_.size() == live_) return;
  std::size_t to = 0;
  for (std::size_t from = 0; from < slots_.size(); ++from) {
    if (!slots_[from]) continue;
    if (to != from) {
      slots_[to] = std::move(slots_[from]);
      index_.find(slots_[to]->name)->second = to;
    }
    ++to;
  }
  slots_.resize(to);
}

const SettingsBag::Entry& SettingsBag::At(std::size_t position) {
  Compact();
  return *slots_.at(position);
}

std::optional<std::size_t> SettingsBag::SlotOf(std::string_view name) const {
  auto found = index_.find(name);
  if (found == index_.end()) return std::nullopt;
  return found->second;
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
