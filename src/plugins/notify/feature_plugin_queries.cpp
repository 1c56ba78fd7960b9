#include <string>

#include "platform/basic/err.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/feature_plugins_state.h"
#include "systemlog/system_log.h"

namespace plugins {

bool GetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus) {
  std::shared_ptr<cPluginHost> host = ThreadFeaturePlugins().Find(ProgID);
  if (!host) {
    service::WriteSystemLog("IoCoreEvents.GetFeaturePluginStatus - could not find object '" + ProgID + "'");
    return false;
  }
  platform::com::ObjectPtr data = GetFeaturePluginData(ProgID);
  std::string sub_status = SubStatus;  // what the plug-in writes here stays here
  bool status = false;
  platform::Step([&] { status = host->GetStatus(data, sub_status); });
  service::WriteSystemLog("IoCoreEvents.GetFeaturePluginStatus - status " + std::string(status ? "OK" : "NOT ok") +
                          " for '" + ProgID + "' substatus=" + SubStatus);
  platform::Err::Clear();
  return status;
}

platform::com::ObjectPtr GetFeaturePluginData(const std::string& ProgID) {
  std::shared_ptr<cPluginHost> host = ThreadFeaturePlugins().Find(ProgID);
  if (!host) {
    service::WriteSystemLog("IoCoreEvents.GetFeaturePluginData - could not find object '" + ProgID + "'");
    return nullptr;
  }
  platform::com::ObjectPtr data = host->PlugInData();
  service::WriteSystemLog(std::string("IoCoreEvents.GetFeaturePluginStatus - ") + (data ? "" : "no ") +
                          "plugindata object found for '" + ProgID + "'");
  return data;
}

}  // namespace plugins
