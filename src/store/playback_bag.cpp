#include "store/playback_bag.h"

#include <algorithm>

#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"

namespace store {

std::string PlaybackBag::Key(int32_t position) const {
  if (position < 1 || position > Count()) return {};
  return items_[static_cast<size_t>(position - 1)].key;
}

bool PlaybackBag::Exists(const std::string& key) const { return Item(key) != nullptr; }

const Bytes* PlaybackBag::Item(const std::string& key) const {
  for (const Entry& entry : items_) {
    if (entry.key == key) return &entry.item;
  }
  return nullptr;
}

void PlaybackBag::Remove(const std::string& key) {
  std::erase_if(items_, [&](const Entry& entry) { return entry.key == key; });
}

void PlaybackBag::Add(const std::string& key, Bytes item) {
  for (Entry& entry : items_) {
    if (entry.key == key) {
      entry.item = std::move(item);
      return;
    }
  }
  items_.push_back({key, std::move(item)});
}

const platform::com::DispatchTable* PlaybackBag::Dispatch() const {
  using platform::Variant;
  using platform::com::Args;
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<PlaybackBag>({
      {"Count", [](PlaybackBag& self) { return self.Count(); }},
      {"Key", 1, [](PlaybackBag& self, Args args) { return self.Key(platform::CLng(args[0])); }},
      {"Exists", 1, [](PlaybackBag& self, Args args) { return self.Exists(platform::CStr(args[0])); }},
      {"Item", 1,
       [](PlaybackBag& self, Args args) -> Variant {
         const std::string key =
             args[0].IsString() ? args[0].StringValue() : self.Key(platform::CLng(args[0]));
         const Bytes* item = self.Item(key);
         return item ? Variant::ByteArray(*item) : Variant();
       }},
      {"Remove", 1, [](PlaybackBag& self, Args args) { self.Remove(platform::CStr(args[0])); }},
      {"Add", 2,
       [](PlaybackBag& self, Args args) {
         Bytes item;
         if (args[1].IsByteArray()) item = args[1].Bytes();
         self.Add(platform::CStr(args[0]), std::move(item));
       }},
  });
  return &table;
}

}  // namespace store
