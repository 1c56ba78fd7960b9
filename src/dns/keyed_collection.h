// A keyed collection as the resolver's tables use it: text keys compared
// without regard to case (as host names are), entries kept in the order they
// were added.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <utility>

#include "platform/basic/err.h"
#include "platform/com/names.h"

namespace dns {

template <class T>
class KeyedCollection {
 public:
  using Entry = std::pair<std::string, T>;

  bool Has(std::string_view key) const { return index_.find(key) != index_.end(); }

  // The value under `key`; raises 5 (invalid procedure call) when missing.
  const T& Item(std::string_view key) const {
    auto it = index_.find(key);
    if (it == index_.end()) platform::RaiseError(platform::kErrInvalidCall);
    return it->second->second;
  }
  T& Item(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) platform::RaiseError(platform::kErrInvalidCall);
    return it->second->second;
  }

  // Adds `value` under `key` unless the key is taken; true when added.
  bool Add(std::string_view key, T value) {
    if (index_.find(key) != index_.end()) return false;
    entries_.emplace_back(std::string(key), std::move(value));
    index_.emplace(entries_.back().first, std::prev(entries_.end()));
    return true;
  }

  // Replaces the value under `key` (keeping its place), or adds it.
  void Set(std::string_view key, T value) {
    auto it = index_.find(key);
    if (it == index_.end()) {
      Add(key, std::move(value));
    } else {
      it->second->second = std::move(value);
    }
  }

  // False when there was nothing under `key`.
  bool Remove(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) return false;
    entries_.erase(it->second);
    index_.erase(it);
    return true;
  }

  size_t Count() const { return entries_.size(); }
  typename std::list<Entry>::const_iterator begin() const { return entries_.begin(); }
  typename std::list<Entry>::const_iterator end() const { return entries_.end(); }

 private:
  std::list<Entry> entries_;
  platform::com::NameMap<typename std::list<Entry>::iterator> index_;
};

}  // namespace dns
