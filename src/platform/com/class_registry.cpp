#include "platform/com/class_registry.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"

namespace platform::com {
namespace {

struct ClassEntry {
  std::string progid;  // as registered
  Factory factory;
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, ClassEntry> classes;  // key: lower-case ProgID
  ClassLookupHook hook;
};

Registry& TheRegistry() {
  // Never destroyed: objects released during exit may still create others.
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

bool RegisterClass(std::string_view progid, Factory factory) {
  if (progid.empty() || !factory) return false;
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.classes[LCase(progid)] = ClassEntry{std::string(progid), std::move(factory)};
  return true;
}

bool UnregisterClass(std::string_view progid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.classes.erase(LCase(progid)) > 0;
}

bool IsClassRegistered(std::string_view progid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.classes.count(LCase(progid)) > 0;
}

std::vector<std::string> RegisteredClasses() {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::vector<std::string> progids;
  for (const auto& [key, entry] : registry.classes) progids.push_back(entry.progid);
  return progids;
}

ClassLookupHook SetClassLookupHook(ClassLookupHook hook) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::swap(registry.hook, hook);
  return hook;
}

ObjectPtr CreateObject(std::string_view progid, std::string_view server) {
  if (!server.empty()) {
    RaiseError(kErrRemoteServerUnavailable, "The remote server machine does not exist or is unavailable");
  }
  Factory factory;
  ClassLookupHook hook;
  {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (auto it = registry.classes.find(LCase(progid)); it != registry.classes.end()) {
      factory = it->second.factory;
    } else {
      hook = registry.hook;
    }
  }
  // Outside the lock: a factory may create objects of other classes.
  ObjectPtr object;
  if (factory) {
    object = factory();
  } else if (hook && !progid.empty()) {
    object = hook(progid);
  }
  if (!object) RaiseError(kErrCannotCreateObject);
  return object;
}

}  // namespace platform::com
