#include "bus/member_table.h"

#include "platform/com/names.h"

namespace bus {

const Member* BusInterface::FindMember(const std::string& member) const {
  for (const Member& m : members) {
    if (m.name == member) return &m;
  }
  return nullptr;
}

const Signal* BusInterface::FindSignal(std::string_view event) const {
  for (const Signal& s : signals) {
    if (platform::com::NameEqual{}(s.name, event)) return &s;
  }
  return nullptr;
}

}  // namespace bus
