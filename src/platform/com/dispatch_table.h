// How a class declares the members that late-bound calls reach: a table of
// name -> lambda, built once per class. Names compare without regard to
// letter case.
//
//   class Counter : public Object {
//    public:
//     int32_t total = 0;
//    protected:
//     const DispatchTable* Dispatch() const override {
//       static const DispatchTable table = DispatchTable::Of<Counter>({
//           {"Total", [](Counter& self) { return self.total; }},
//           {"Total", kPut, [](Counter& self, Variant& value) { self.total = CLng(value); }},
//           {"Add", 1, [](Counter& self, Args args) { self.total += CLng(args[0]); }},
//           {"Split", ArgRange{1, 2}, [](Counter& self, Args args) { ... HasArg(args, 1) ... }},
//           {kDispIdValue, "Value", 0, [](Counter& self) { return self.total; }},
//       });
//       return &table;
//     }
//   };
//
// A lambda takes (T& self, Args args) or just (T& self) and returns anything
// a Variant is made from, or nothing (the call then yields Empty). A property
// assignment entry (kPut) takes (T& self, Variant& value). A class that adds
// to an interface's members lists that interface's table as a base.
//
// Member ids: the id an entry gives, else one derived from the lower-case
// name, so the same name has the same id in every table.
#pragma once

#include <climits>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/basic/variant.h"
#include "platform/com/names.h"
#include "platform/com/object.h"

namespace platform::com {

// How many arguments a member takes: `min` required, up to `max` in all.
struct ArgRange {
  int min = 0;
  int max = 0;
};
inline constexpr int kAnyCount = INT_MAX;

// Marks a property assignment entry.
struct PutTag {
  explicit PutTag() = default;
};
inline constexpr PutTag kPut{};

// True when argument `i` was passed and not left out (Missing).
inline bool HasArg(Args args, std::size_t i) { return i < args.size() && !args[i].IsMissing(); }

// The id a name gets when its entry gives none.
DispId AutoDispId(std::string_view name);

// One member, whatever its class.
struct MemberEntry {
  std::string name;
  DispId id = kDispIdUnknown;
  ArgRange args;
  bool put = false;
  std::function<Variant(Object& self, Args args)> call;
};

namespace detail {

template <class T>
T& SelfAs(Object& object) {
  // A class that reaches Object through a virtual base cannot be cast down
  // statically.
  if constexpr (requires(Object* o) { static_cast<T*>(o); }) {
    return static_cast<T&>(object);
  } else {
    return dynamic_cast<T&>(object);
  }
}

template <class F>
Variant ResultOf(F&& produce) {
  if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
    produce();
    return Variant();
  } else {
    return Variant(produce());
  }
}

template <class T, class F>
concept MethodOf = std::is_invocable_v<F&, T&, Args> || std::is_invocable_v<F&, T&>;

template <class T, class F>
concept SetterOf = std::is_invocable_v<F&, T&, Variant&>;

}  // namespace detail

template <class T>
struct Member : MemberEntry {
  template <class F>
    requires detail::MethodOf<T, F>
  Member(std::string_view name, F fn) : Member(kDispIdUnknown, name, ArgRange{0, 0}, std::move(fn)) {}

  template <class F>
    requires detail::MethodOf<T, F>
  Member(std::string_view name, int count, F fn)
      : Member(kDispIdUnknown, name, ArgRange{count, count}, std::move(fn)) {}

  template <class F>
    requires detail::MethodOf<T, F>
  Member(std::string_view name, ArgRange range, F fn)
      : Member(kDispIdUnknown, name, range, std::move(fn)) {}

  template <class F>
    requires detail::MethodOf<T, F>
  Member(DispId id, std::string_view name, int count, F fn)
      : Member(id, name, ArgRange{count, count}, std::move(fn)) {}

  template <class F>
    requires detail::MethodOf<T, F>
  Member(DispId id, std::string_view name, ArgRange range, F fn) {
    this->name = std::string(name);
    this->id = id;
    this->args = range;
    this->call = [fn = std::move(fn)](Object& object, Args args) mutable -> Variant {
      T& self = detail::SelfAs<T>(object);
      if constexpr (std::is_invocable_v<F&, T&, Args>) {
        return detail::ResultOf([&]() -> decltype(auto) { return fn(self, args); });
      } else {
        return detail::ResultOf([&]() -> decltype(auto) { return fn(self); });
      }
    };
  }

  template <class F>
    requires detail::SetterOf<T, F>
  Member(std::string_view name, PutTag, F fn) : Member(kDispIdUnknown, name, kPut, std::move(fn)) {}

  template <class F>
    requires detail::SetterOf<T, F>
  Member(DispId id, std::string_view name, PutTag, F fn) {
    this->name = std::string(name);
    this->id = id;
    this->args = ArgRange{1, 1};
    this->put = true;
    this->call = [fn = std::move(fn)](Object& object, Args args) mutable -> Variant {
      fn(detail::SelfAs<T>(object), args[0]);
      return Variant();
    };
  }
};

class DispatchTable {
 public:
  // `bases`: tables consulted, in order, for members this one lacks.
  DispatchTable(std::vector<MemberEntry> members, std::vector<const DispatchTable*> bases = {});

  template <class T>
  static DispatchTable Of(std::initializer_list<Member<T>> members,
                          std::initializer_list<const DispatchTable*> bases = {}) {
    return DispatchTable(std::vector<MemberEntry>(members.begin(), members.end()),
                         std::vector<const DispatchTable*>(bases.begin(), bases.end()));
  }

  // The member's id here or in a base; kDispIdUnknown when none.
  DispId IdOf(std::string_view name) const;
  // The entry for a call (put = false) or an assignment (put = true).
  const MemberEntry* Find(std::string_view name, bool put) const;
  const MemberEntry* Find(DispId id, bool put) const;

  // Calls the member on `self`: nullopt when there is no such member; raises
  // 449 (too few arguments) or 450 (too many) before calling.
  std::optional<Variant> Invoke(Object& self, std::string_view name, Args args) const;
  std::optional<Variant> Invoke(Object& self, DispId id, Args args) const;
  // False when the member cannot be assigned.
  bool Put(Object& self, std::string_view name, Variant& value) const;

  // Every member name, this table's first, each once.
  std::vector<std::string> Names() const;

 private:
  struct Slots {
    int get = -1;  // index into members_
    int put = -1;
  };
  const MemberEntry* Pick(const Slots& slots, bool put) const;
  static Variant Call(const MemberEntry& member, Object& self, Args args);

  std::vector<MemberEntry> members_;
  std::vector<const DispatchTable*> bases_;
  NameMap<Slots> by_name_;
  std::unordered_map<DispId, Slots> by_id_;
};

}  // namespace platform::com
