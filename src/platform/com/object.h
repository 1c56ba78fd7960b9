// The object model: reference-counted objects (ObjectPtr, released when the
// last reference goes) with late-bound calls by member name.
//
//   ObjectPtr calc = CreateObject("Sample.Calculator");
//   std::vector<Variant> args{Variant(2), Variant()};
//   Variant sum = CallByName(calc, "Add", args);   // args[1] may come back written
//
// A class declares its members in a dispatch table (dispatch_table.h); an
// interface is a C++ class deriving (virtually, when a class implements
// several) from Object, and QueryInterface<T> asks an object for it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"
#include "platform/com/object_fwd.h"

namespace platform::com {

// Arguments of a late-bound call, by reference: what the callee writes into
// them is what the caller sees afterwards (out-parameters).
using Args = std::span<Variant>;

// Member identifiers, for callers (events) that address members by number.
using DispId = int32_t;
inline constexpr DispId kDispIdUnknown = -1;
// The default member: a class's value when used where a value is expected.
inline constexpr DispId kDispIdValue = 0;

// Error numbers of the object model (those Basic shares with the rest of the
// runtime are in err.h: 91, 424, 429, 438).
inline constexpr int32_t kErrArgumentNotOptional = 449;
inline constexpr int32_t kErrWrongArgumentCount = 450;
inline constexpr int32_t kErrRemoteServerUnavailable = 462;

class DispatchTable;
class EventSource;

class Object : public std::enable_shared_from_this<Object> {
 public:
  Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();

  // Calls a method or reads a property by name (letter case does not
  // matter). Raises 438 "Object doesn't support this property or method"
  // when the object has no such member; 449/450 for a wrong argument count;
  // whatever the member raises.
  Variant Invoke(std::string_view name, Args args = {});
  // By value: for calls without out-parameters.
  Variant Invoke(std::string_view name, std::initializer_list<Variant> args);
  Variant Invoke(DispId id, Args args = {});
  // Assigns a property (Basic's Let / Set); 438 when it cannot be assigned.
  void PutProperty(std::string_view name, Variant value);

  // The member's identifier; kDispIdUnknown when there is none.
  virtual DispId GetIdOfName(std::string_view name) const;
  bool HasMember(std::string_view name) const { return GetIdOfName(name) != kDispIdUnknown; }

  // The class name Basic's TypeName reports: the C++ class name without its
  // namespace, unless a class says otherwise.
  virtual std::string TypeName() const;

  // The calls above without the 438: nullopt (false) when the object has no
  // such member. Override these to take members the table does not list.
  virtual std::optional<Variant> TryInvoke(std::string_view name, Args args);
  virtual std::optional<Variant> TryInvoke(DispId id, Args args);
  virtual bool TryPutProperty(std::string_view name, Variant& value);

  // The events this object raises (its connection point), so that code
  // holding only an ObjectPtr can connect to them (ConnectEvents in
  // event_source.h); nullptr for an object that raises none.
  virtual EventSource* Events();

 protected:
  // The class's members (dispatch_table.h); an object without one has none.
  virtual const DispatchTable* Dispatch() const;
};

// Late-bound calls on a reference, as Basic makes them: Nothing raises 91.
// (Named apart from the members so that code inside a class finds them.)
Variant CallByName(const ObjectPtr& object, std::string_view name, Args args = {});
Variant CallByName(const ObjectPtr& object, std::string_view name, std::initializer_list<Variant> args);
void LetProperty(const ObjectPtr& object, std::string_view name, Variant value);

// The object a Variant holds: raises 424 "Object required" for a value that
// is not an object, 91 for Nothing.
ObjectPtr ObjectOf(const Variant& value);

// The object seen through interface T, or empty when it does not implement
// T (or is Nothing).
template <class T>
std::shared_ptr<T> QueryInterface(const ObjectPtr& object) {
  return std::dynamic_pointer_cast<T>(object);
}
template <class T>
std::shared_ptr<T> QueryInterface(const Variant& value) {
  return value.IsObject() ? std::dynamic_pointer_cast<T>(value.ObjectValue()) : nullptr;
}

}  // namespace platform::com
