#include "service/application/plugin_registry_calls.h"

#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/shared_io_notify.h"

namespace service::plugin_registry {

platform::com::ObjectPtr GetSharedIoNotify() { return plugins::GetSharedIoNotify(); }

bool GetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus) {
  return plugins::GetFeaturePluginStatus(ProgID, SubStatus);
}

platform::com::ObjectPtr GetFeaturePluginData(const std::string& ProgID) {
  return plugins::GetFeaturePluginData(ProgID);
}

}  // namespace service::plugin_registry
