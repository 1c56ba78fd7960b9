// The class registry: ProgID -> factory, as CreateObject finds classes.
// ProgIDs compare without regard to letter case. A ProgID nobody registered
// is offered to the lookup hook (shared-object plug-ins registered in the
// registry hive are found that way) before creation fails.
//
//   RegisterClass("QuiLogic.IMDB", [] { return std::make_shared<Imdb>(); });
//   ObjectPtr db = CreateObject("quilogic.imdb");
//
// Process-wide and thread-safe; factories and the hook run outside its lock,
// so they may create other objects.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/com/object.h"

namespace platform::com {

// Makes one new object of a class; may raise (the error reaches the creator).
using Factory = std::function<ObjectPtr()>;

// Asked for a ProgID that is not registered: creates the object, or returns
// Nothing when it does not know the ProgID either. It may raise.
using ClassLookupHook = std::function<ObjectPtr(std::string_view progid)>;

// Registers (or replaces) a class. False for an empty ProgID or factory.
bool RegisterClass(std::string_view progid, Factory factory);

// The usual factory: a new T made with its default constructor.
template <class T>
  requires std::is_base_of_v<Object, T>
bool RegisterClass(std::string_view progid) {
  return RegisterClass(progid, [] { return ObjectPtr(std::make_shared<T>()); });
}

// False when the ProgID was not registered.
bool UnregisterClass(std::string_view progid);
bool IsClassRegistered(std::string_view progid);
// Registered ProgIDs as they were written, sorted without regard to case.
std::vector<std::string> RegisteredClasses();

// Installs the hook (empty: none) and returns the one it replaces, so a
// caller can chain to it or put it back.
ClassLookupHook SetClassLookupHook(ClassLookupHook hook);

// Basic's CreateObject(progid[, server]). Any non-empty server name raises
// 462 "The remote server machine does not exist or is unavailable" (no
// remote activation here); a class that is neither registered nor found by
// the hook, or whose factory gives Nothing, raises 429 "ActiveX component
// can't create object". Errors a factory or the hook raise pass through.
ObjectPtr CreateObject(std::string_view progid, std::string_view server = {});

}  // namespace platform::com
