#include "service/application/plugin_registry_calls.h"

namespace service::plugin_registry {

// The plug-in registry's GetSharedIoNotify, GetFeaturePluginStatus and
// GetFeaturePluginData go here once it exists.

platform::com::ObjectPtr GetSharedIoNotify() { return nullptr; }

bool GetFeaturePluginStatus(const std::string&, const std::string&) { return false; }

platform::com::ObjectPtr GetFeaturePluginData(const std::string&) { return nullptr; }

}  // namespace service::plugin_registry
