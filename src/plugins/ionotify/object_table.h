// The objects IoCreate made, by reference id (compared without regard to
// case). Owned by one cIoNotify; refuses a second object under a key it holds.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/names.h"
#include "platform/com/object.h"

namespace plugins::ionotify {

class ObjectTable {
 public:
  // False (and nothing stored) when the key is taken.
  bool Add(std::string_view key, platform::com::ObjectPtr object);
  // The object under the key, removed from the table; Nothing when none.
  platform::com::ObjectPtr Take(std::string_view key);
  bool Contains(std::string_view key) const;
  size_t Count() const { return objects_.size(); }

 private:
  platform::com::NameMap<platform::com::ObjectPtr> objects_;
};

}  // namespace plugins::ionotify
