#include "plugins/loader/progid_resolution.h"

#include "platform/com/class_registry.h"
#include "plugins/loader/plugin_loader.h"

namespace plugins::loader {

std::string WhereProgIdResolves(const std::string& progid) {
  if (platform::com::IsClassRegistered(progid)) return "built in";
  if (auto path = RegisteredLibrary(progid)) return *path;
  return kNotRegistered;
}

}  // namespace plugins::loader
