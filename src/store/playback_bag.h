// The playback bag: the struct entries a playback found, as byte arrays keyed
// by their Tag, one item per key, in the order they were added.
//
// Late-bound members: Count; Key(position) with positions from 1; Item(key
// or position) the byte array (lower bound 0), Empty when there is none;
// Exists(key); Remove(key) (a missing key is ignored); Add(key, item).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/object.h"
#include "store/store_format.h"

namespace store {

class PlaybackBag : public platform::com::Object {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // The key at `position` (1 to Count()); empty text outside.
  std::string Key(int32_t position) const;
  bool Exists(const std::string& key) const;
  // The item under `key`; nothing when absent.
  const Bytes* Item(const std::string& key) const;
  void Remove(const std::string& key);
  // Adds at the end; an existing key is replaced where it stands.
  void Add(const std::string& key, Bytes item);

  std::string TypeName() const override { return "FlexBag"; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  struct Entry {
    std::string key;
    Bytes item;
  };
  std::vector<Entry> items_;
};

}  // namespace store
