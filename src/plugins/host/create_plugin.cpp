#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/plugin_call_watch.h"
#include "systemlog/system_log.h"

namespace plugins {

bool cPluginHost::CreatePlugin(const std::string& ProgID, const std::string& PluginXML) {
  platform::Err::Clear();
  progid_ = ProgID;
  // The plug-in's own code runs from here to the end of the start-up exchange.
  PluginCallWatch watch("cPluginHost", ProgID, "CreatePlugin");
  ObjectPtr plugin;
  if (!platform::Step([&] { plugin = platform::com::CreateObject(ProgID); }) || !plugin) {
    service::WriteSystemLog("CreatePlugin - Could not create Plugin '" + ProgID + "' The error was '" +
                            platform::Err::Description() + "'");
    platform::Err::Clear();
    return false;
  }
  // Both interfaces: a notifier plug-in, driven by messages only.
  if (auto notifier_host = platform::com::QueryInterface<contracts::INotifierHost>(plugin)) {
    notifier_host_ = std::move(notifier_host);
    is_io_core_events_ = false;
    AttachNotifierPlugin();
  } else if (auto events = platform::com::QueryInterface<typelib::INorvIoCoreEvents>(plugin)) {
    events_plugin_ = std::move(events);
    is_io_core_events_ = true;
  } else {
    std::string type_name;
    platform::Step([&] { type_name = plugin->TypeName(); });
    service::WriteSystemLog("CreatePlugin - Plugin '" + ProgID +
                            "'does not support the INorvIoCoreEvents or INotifierHost interface. It is of type '" +
                            type_name + "'");
    platform::Err::Clear();
    return false;
  }
  plugin_xml_ = PluginXML;
  platform::Err::Clear();
  return true;
}

void cPluginHost::AttachNotifierPlugin() {
  platform::Step([&] {
    m_HostNotifier = contracts::NewNotifier();
    // Weak: the plug-in may keep the host's channel longer than the host.
    std::weak_ptr<platform::com::Object> weak = weak_from_this();
    host_cookie_ = m_HostNotifier->OnNotify([weak](std::string& name, platform::Variant& p1, platform::Variant& p2) {
      if (auto self = std::dynamic_pointer_cast<cPluginHost>(weak.lock())) self->OnNotify(name, p1, p2);
    });
  });
  platform::Step([&] {
    if (!notifier_host_) platform::RaiseError(platform::kErrObjectNotSet, {}, "cPluginHost");
    PluginNotifier = notifier_host_->AttachHost(m_HostNotifier);
  });
  RunStartupExchange();
}

}  // namespace plugins
