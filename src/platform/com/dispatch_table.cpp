#include "platform/com/dispatch_table.h"

#include <stdexcept>

#include "platform/basic/err.h"

namespace platform::com {

DispId AutoDispId(std::string_view name) {
  // Kept positive and clear of the small ids classes give by hand.
  const auto hash = static_cast<uint32_t>(NameHash()(name));
  return static_cast<DispId>(0x40000000u | (hash & 0x3FFFFFFFu));
}

DispatchTable::DispatchTable(std::vector<MemberEntry> members, std::vector<const DispatchTable*> bases)
    : members_(std::move(members)), bases_(std::move(bases)) {
  std::erase(bases_, nullptr);
  // Every entry of one name shares one id: the one given by hand, if any.
  NameMap<DispId> id_of_name;
  std::unordered_map<DispId, std::string> name_of_id;
  auto claim = [&](const std::string& key, DispId id) {
    auto [it, fresh] = name_of_id.emplace(id, key);
    if (!fresh && !NameEqual()(it->second, key)) {
      throw std::logic_error("dispatch table: id " + std::to_string(id) + " given to both '" + it->second +
                             "' and '" + key + "'");
    }
    id_of_name[key] = id;
  };
  for (const MemberEntry& member : members_) {
    if (member.id == kDispIdUnknown) continue;
    const std::string& key = member.name;
    auto known = id_of_name.find(key);
    if (known != id_of_name.end() && known->second != member.id) {
      throw std::logic_error("dispatch table: '" + member.name + "' given two ids");
    }
    claim(key, member.id);
  }
  for (std::size_t i = 0; i < members_.size(); ++i) {
    MemberEntry& member = members_[i];
    const std::string& key = member.name;
    if (!member.call) throw std::logic_error("dispatch table: '" + member.name + "' has no body");
    if (auto known = id_of_name.find(key); known != id_of_name.end()) {
      member.id = known->second;
    } else {
      DispId id = AutoDispId(key);
      while (name_of_id.count(id)) ++id;  // a clash of two names: the later one moves on
      claim(key, id);
      member.id = id;
    }
    int& slot_by_name = member.put ? by_name_[key].put : by_name_[key].get;
    if (slot_by_name != -1) throw std::logic_error("dispatch table: '" + member.name + "' listed twice");
    slot_by_name = static_cast<int>(i);
    (member.put ? by_id_[member.id].put : by_id_[member.id].get) = static_cast<int>(i);
  }
}

const MemberEntry* DispatchTable::Pick(const Slots& slots, bool put) const {
  const int index = put ? slots.put : slots.get;
  return index < 0 ? nullptr : &members_[static_cast<std::size_t>(index)];
}

const MemberEntry* DispatchTable::Find(std::string_view name, bool put) const {
  if (auto it = by_name_.find(name); it != by_name_.end()) {
    if (const MemberEntry* member = Pick(it->second, put)) return member;
  }
  for (const DispatchTable* base : bases_) {
    if (const MemberEntry* member = base->Find(name, put)) return member;
  }
  return nullptr;
}

const MemberEntry* DispatchTable::Find(DispId id, bool put) const {
  if (auto it = by_id_.find(id); it != by_id_.end()) {
    if (const MemberEntry* member = Pick(it->second, put)) return member;
  }
  for (const DispatchTable* base : bases_) {
    if (const MemberEntry* member = base->Find(id, put)) return member;
  }
  return nullptr;
}

DispId DispatchTable::IdOf(std::string_view name) const {
  const MemberEntry* member = Find(name, false);
  if (!member) member = Find(name, true);
  return member ? member->id : kDispIdUnknown;
}

Variant DispatchTable::Call(const MemberEntry& member, Object& self, Args args) {
  const auto count = static_cast<long long>(args.size());
  if (count < member.args.min) RaiseError(kErrArgumentNotOptional, "Argument not optional", member.name);
  if (count > member.args.max) {
    RaiseError(kErrWrongArgumentCount, "Wrong number of arguments or invalid property assignment", member.name);
  }
  return member.call(self, args);
}

std::optional<Variant> DispatchTable::Invoke(Object& self, std::string_view name, Args args) const {
  const MemberEntry* member = Find(name, false);
  if (!member) return std::nullopt;
  return Call(*member, self, args);
}

std::optional<Variant> DispatchTable::Invoke(Object& self, DispId id, Args args) const {
  const MemberEntry* member = Find(id, false);
  if (!member) return std::nullopt;
  return Call(*member, self, args);
}

bool DispatchTable::Put(Object& self, std::string_view name, Variant& value) const {
  const MemberEntry* member = Find(name, true);
  if (!member) return false;
  Call(*member, self, Args(&value, 1));
  return true;
}

std::vector<std::string> DispatchTable::Names() const {
  std::vector<std::string> names;
  NameMap<bool> seen;
  for (const MemberEntry& member : members_) {
    if (seen.emplace(member.name, true).second) names.push_back(member.name);
  }
  for (const DispatchTable* base : bases_) {
    for (std::string& name : base->Names()) {
      if (seen.emplace(name, true).second) names.push_back(std::move(name));
    }
  }
  return names;
}

}  // namespace platform::com
