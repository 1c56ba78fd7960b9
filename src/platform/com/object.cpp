#include "platform/com/object.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>
#include <vector>

#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace platform::com {
namespace {

// "platform::com::Foo" -> "Foo"; template arguments are kept whole.
std::string ClassNameOf(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string full = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  const std::size_t templ = full.find('<');
  const std::size_t colon = full.rfind("::", templ);
  return colon == std::string::npos ? full : full.substr(colon + 2);
}

std::string TypeNameHook(const Object& object) { return object.TypeName(); }

bool DefaultValueHook(const Object& object, Variant* value) {
  std::optional<Variant> result = const_cast<Object&>(object).TryInvoke(kDispIdValue, Args());
  if (!result) return false;
  *value = std::move(*result);
  return true;
}

// The Variant runtime asks objects for their class name and default value
// through these; any object existing means they are installed.
void InstallVariantHooks() {
  static const bool installed = [] {
    ObjectHooks hooks;
    hooks.type_name = &TypeNameHook;
    hooks.default_value = &DefaultValueHook;
    SetObjectHooks(hooks);
    return true;
  }();
  (void)installed;
}

}  // namespace

Object::Object() { InstallVariantHooks(); }

Object::~Object() = default;

const DispatchTable* Object::Dispatch() const { return nullptr; }

EventSource* Object::Events() { return nullptr; }

std::string Object::TypeName() const { return ClassNameOf(typeid(*this)); }

DispId Object::GetIdOfName(std::string_view name) const {
  const DispatchTable* table = Dispatch();
  return table ? table->IdOf(name) : kDispIdUnknown;
}

std::optional<Variant> Object::TryInvoke(std::string_view name, Args args) {
  const DispatchTable* table = Dispatch();
  if (!table) return std::nullopt;
  // A member may drop the caller's last reference to this object; it lives
  // until the call is over.
  ObjectPtr keep_alive = weak_from_this().lock();
  return table->Invoke(*this, name, args);
}

std::optional<Variant> Object::TryInvoke(DispId id, Args args) {
  const DispatchTable* table = Dispatch();
  if (!table) return std::nullopt;
  ObjectPtr keep_alive = weak_from_this().lock();
  return table->Invoke(*this, id, args);
}

bool Object::TryPutProperty(std::string_view name, Variant& value) {
  const DispatchTable* table = Dispatch();
  if (!table) return false;
  ObjectPtr keep_alive = weak_from_this().lock();
  return table->Put(*this, name, value);
}

Variant Object::Invoke(std::string_view name, Args args) {
  std::optional<Variant> result = TryInvoke(name, args);
  if (!result) RaiseError(kErrNoSuchMember);
  return std::move(*result);
}

Variant Object::Invoke(std::string_view name, std::initializer_list<Variant> args) {
  std::vector<Variant> copies(args);
  return Invoke(name, Args(copies));
}

Variant Object::Invoke(DispId id, Args args) {
  std::optional<Variant> result = TryInvoke(id, args);
  if (!result) RaiseError(kErrNoSuchMember);
  return std::move(*result);
}

void Object::PutProperty(std::string_view name, Variant value) {
  if (!TryPutProperty(name, value)) RaiseError(kErrNoSuchMember);
}

Variant CallByName(const ObjectPtr& object, std::string_view name, Args args) {
  if (!object) RaiseError(kErrObjectNotSet);
  return object->Invoke(name, args);
}

Variant CallByName(const ObjectPtr& object, std::string_view name, std::initializer_list<Variant> args) {
  if (!object) RaiseError(kErrObjectNotSet);
  return object->Invoke(name, args);
}

void LetProperty(const ObjectPtr& object, std::string_view name, Variant value) {
  if (!object) RaiseError(kErrObjectNotSet);
  object->PutProperty(name, std::move(value));
}

ObjectPtr ObjectOf(const Variant& value) {
  if (!value.IsObject()) RaiseError(kErrObjectRequired);
  if (!value.ObjectValue()) RaiseError(kErrObjectNotSet);
  return value.ObjectValue();
}

}  // namespace platform::com
