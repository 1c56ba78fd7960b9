#include <string>

#include "platform/basic/err.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/feature_plugins_state.h"
#include "systemlog/system_log.h"

namespace plugins {

namespace {

bool HostStatus(cPluginHost& host, platform::com::ObjectPtr data, const std::string& SubStatus) {
  std::string sub_status = SubStatus;  // what the plug-in writes here stays here
  bool status = false;
  platform::Step([&] { status = host.GetStatus(data, sub_status); });
  platform::Err::Clear();
  return status;
}

}  // namespace

bool GetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus) {
  std::shared_ptr<cPluginHost> host = ThreadFeaturePlugins().Find(ProgID);
  if (!host) {
    service::WriteSystemLog("IoCoreEvents.GetFeaturePluginStatus - could not find object '" + ProgID + "'");
    return false;
  }
  const bool status = HostStatus(*host, GetFeaturePluginData(ProgID), SubStatus);
  service::WriteSystemLog("IoCoreEvents.GetFeaturePluginStatus - status " + std::string(status ? "OK" : "NOT ok") +
                          " for '" + ProgID + "' substatus=" + SubStatus);
  return status;
}

std::optional<bool> AskFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus) {
  std::shared_ptr<cPluginHost> host = ThreadFeaturePlugins().Find(ProgID);
  if (!host) return std::nullopt;
  return HostStatus(*host, host->PlugInData(), SubStatus);
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
