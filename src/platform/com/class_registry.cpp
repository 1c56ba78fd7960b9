#include "platform/com/class_registry.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/basic/err.h"
#include "platform/com/names.h"

namespace platform::com {
namespace {

struct Registry {
  std::mutex mutex;
  NameMap<Factory> classes;  // key: the ProgID as registered
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
  // Erased first so that the ProgID is kept as last written.
  registry.classes.erase(std::string(progid));
  registry.classes.emplace(std::string(progid), std::move(factory));
  return true;
}

bool UnregisterClass(std::string_view progid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.classes.erase(std::string(progid)) > 0;
}

bool IsClassRegistered(std::string_view progid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.classes.find(progid) != registry.classes.end();
}

std::vector<std::string> RegisteredClasses() {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::vector<std::string> progids;
  for (const auto& [progid, factory] : registry.classes) progids.push_back(progid);
  std::sort(progids.begin(), progids.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
  });
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
    if (auto it = registry.classes.find(progid); it != registry.classes.end()) {
      factory = it->second;
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
