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

std::vector<const BusInterface*> AllInterfaces() {
  return {&ApplicationInterface(), &SettingsInterface(), &IoNotifyInterface(), &DnsResolverInterface(),
          &FileManagerInterface()};
}

const char* AccessLevelName(Access level) {
  switch (level) {
    case Access::kRead: return "read";
    case Access::kAct: return "act";
    case Access::kRoot: return "root";
  }
  return "root";
}

namespace {

MemberAccess RowOf(const BusInterface& table, const Member& member) {
  return {table.name, member.name, member.access, static_cast<bool>(member.access_by_args), member.access_why};
}

}  // namespace

std::vector<MemberAccess> AccessTable() {
  std::vector<MemberAccess> rows;
  for (const BusInterface* table : AllInterfaces()) {
    for (const Member& member : table->members) rows.push_back(RowOf(*table, member));
  }
  return rows;
}

std::optional<MemberAccess> AccessOf(const std::string& interface_name, const std::string& member) {
  for (const BusInterface* table : AllInterfaces()) {
    if (table->name != interface_name) continue;
    if (const Member* found = table->FindMember(member)) return RowOf(*table, *found);
  }
  return std::nullopt;
}

}  // namespace bus
