#include "service/application/plugin_registry_calls.h"

#include "plugins/notify/shared_io_notify.h"

namespace service::plugin_registry {

// The plug-in registry's GetFeaturePluginStatus and GetFeaturePluginData go
// here once it loads plug-ins.

platform::com::ObjectPtr GetSharedIoNotify() { return plugins::GetSharedIoNotify(); }

bool GetFeaturePluginStatus(const std::string&, const std::string&) { return false; }

platform::com::ObjectPtr GetFeaturePluginData(const std::string&) { return nullptr; }

}  // namespace service::plugin_registry
