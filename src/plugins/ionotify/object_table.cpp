#include "plugins/ionotify/object_table.h"

namespace plugins::ionotify {

bool ObjectTable::Add(std::string_view key, platform::com::ObjectPtr object) {
  return objects_.emplace(std::string(key), std::move(object)).second;
}

platform::com::ObjectPtr ObjectTable::Take(std::string_view key) {
  auto found = objects_.find(key);
  if (found == objects_.end()) return nullptr;
  platform::com::ObjectPtr object = std::move(found->second);
  objects_.erase(found);
  return object;
}

bool ObjectTable::Contains(std::string_view key) const { return objects_.find(key) != objects_.end(); }

}  // namespace plugins::ionotify
