#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "platform/xml/document.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/plugin_call_watch.h"
#include "plugins/loader/plugin_loader.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/feature_plugins_state.h"
#include "plugins/notify/shared_io_notify.h"
#include "settings/shared/shared_settings.h"
#include "systemlog/system_log.h"

namespace plugins {
namespace {

constexpr char kPluginListPath[] = "plugins/system";

// The list's entries in rank order; a null node when there are none.
platform::xml::Node ReadPluginList(const char* first_line) {
  service::WriteSystemLog(first_line);
  std::string xml;
  platform::Step([&] { xml = contracts::Support().Branding()->ConfigurationXml(kPluginListPath, ""); });
  service::WriteSystemLog("Plugin XML is \r\n" + xml);
  platform::xml::Document document;
  if (!document.LoadXml(xml) || !document.DocumentElement()) {
    service::WriteSystemLog("No plugins detected");
    return {};
  }
  return SortChildrenByAttribute(document.DocumentElement(), "rank");
}

std::string ProgIdOf(const platform::xml::Node& entry) { return entry.SelectSingleNode("progid").Text(); }

// Creates and adds one plug-in; the host when it was kept.
std::shared_ptr<cPluginHost> LoadPlugin(const platform::xml::Node& entry, const std::string& failure_line) {
  const std::string progid = ProgIdOf(entry);
  auto host = std::make_shared<cPluginHost>();
  service::WriteSystemLog(" Creating Plugin '" + progid + "'");
  if (!host->CreatePlugin(progid, entry.Xml())) {
    service::WriteSystemLog(failure_line + " could not create plugin '" + progid + "'");
    return nullptr;
  }
  platform::Err::Clear();
  const bool added = platform::Step([&] { ThreadFeaturePlugins().Add(progid, host); });
  service::WriteSystemLog(" Created Plugin '" + progid + "'. Error state is '" + platform::Err::Description() + "'");
  platform::Err::Clear();
  return added ? host : nullptr;
}

platform::com::ObjectPtr AsObject(const settings::SettingsPtr& settings) { return settings; }

void StartAlone(const std::shared_ptr<cPluginHost>& host) {
  platform::com::ObjectPtr io_notify;
  platform::Step([&] { io_notify = GetSharedIoNotify(); });
  if (io_notify) {
    platform::Step([&] {
      platform::com::LetProperty(io_notify, "ResClient", platform::Variant(contracts::Support().BrandingObject()));
    });
  }
  service::WriteSystemLog("IoCoreEvents::NotifyFeaturePlugins: Sending OnStartup to " + host->ProgID());
  platform::Step([&] {
    platform::com::ObjectPtr system = AsObject(settings::GetSystemSettings());
    platform::com::ObjectPtr user = AsObject(settings::GetUserSettings());
    platform::com::ObjectPtr data = host->PlugInData();
    PluginCallWatch watch("IoCoreEvents::NotifyFeaturePlugins", host->ProgID(), "OnStartup");
    host->OnStartup(system, user, io_notify, data);
  });
  service::WriteSystemLog("IoCoreEvents::NotifyFeaturePlugins: Sent OnStartup to " + host->ProgID());
  platform::Step([] { SyncSecureLogs(); });
}

}  // namespace

void QueryFeaturePlugins() {
  platform::Err::Clear();
  loader::InstallSharedObjectLoader();
  platform::xml::Node list = ReadPluginList("Quering Feature Plugins");
  for (platform::xml::Node entry = list.FirstChild(); entry; entry = entry.NextSibling()) {
    LoadPlugin(entry, "QueryFeaturePlugins");
  }
  platform::Err::Clear();
}

void RequeryFeaturePlugins() {
  platform::Err::Clear();
  loader::InstallSharedObjectLoader();
  platform::xml::Node list = ReadPluginList("Requery Feature Plugins");
  for (platform::xml::Node entry = list.FirstChild(); entry; entry = entry.NextSibling()) {
    const std::string progid = ProgIdOf(entry);
    bool loaded = false;
    for (const auto& host : FeaturePluginHosts()) loaded = loaded || host->ProgID() == progid;
    if (loaded) continue;
    // Started only when kept: a plug-in left out of the collection would
    // never hear the shutdown.
    if (auto host = LoadPlugin(entry, "RequeryFeaturePlugins")) StartAlone(host);
  }
  platform::Err::Clear();
}

}  // namespace plugins
