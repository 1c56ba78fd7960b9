#include "platform/basic/object_value.h"

#include "platform/basic/err.h"

namespace platform {

const Variant& ResolveObjectValue(const Variant& value, Variant& storage) {
  if (!value.IsObject()) return value;
  // A default value may itself be an object; a few steps are plenty, and the
  // limit keeps an object whose default member is itself from looping.
  Variant current = value;
  for (int depth = 0; depth < 8 && current.IsObject(); ++depth) {
    const com::ObjectPtr& object = current.ObjectValue();
    if (!object) RaiseError(kErrObjectNotSet);
    auto hook = GetObjectHooks().default_value;
    Variant next;
    if (hook == nullptr || !hook(*object, &next)) RaiseError(kErrNoSuchMember);
    current = std::move(next);
  }
  if (current.IsObject()) RaiseError(kErrNoSuchMember);
  storage = std::move(current);
  return storage;
}

}  // namespace platform
