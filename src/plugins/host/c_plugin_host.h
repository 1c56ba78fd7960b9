// cPluginHost: wraps one feature plug-in, of either kind, behind the events
// interface, so the plug-in registry drives every plug-in the same way.
//
//   auto host = std::make_shared<plugins::cPluginHost>();
//   if (host->CreatePlugin("Sample.Plugin", "<plugin rank=\"1\">...</plugin>")) {
//     ObjectPtr data = host->PlugInData();
//     host->OnStartup(settings, user_settings, io_notify, data);
//   }
//
// An events plug-in (typelib::INorvIoCoreEvents) is called directly. A
// notifier plug-in (contracts::INotifierHost) is told each event as a named
// message on its channel ("OnStartup", "OnSvcShutdown", "OnUserLogon",
// "OnSettingsChange", "OnGuiShutdown", "OnDeviceChange", "OnUserLogoff",
// "GetStatus." + sub-status) and sends its requests back on the host's
// channel ("GetSetting", "GetSettings", "SetSetting", "GetSharedData",
// "DoXMLAction"); right after creation the host runs the start-up exchange
// with it ("GetBranding", "SetBranding", "GetSettings", "SetSettings").
//
// Every operation but DoNotify contains its errors: whatever the plug-in
// throws or leaves pending is recorded, the next step runs, the pending error
// is cleared before return. The four arguments of the last event are kept:
// they are what the requests of a notifier plug-in answer from.
//
// A host belongs to the thread that made it (the service thread). A request
// a plug-in sends from any other thread is refused with
// kErrRequestFromAnotherThread: answering it there would race the service
// thread over the collections and the shared data.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "contracts/notifier.h"
#include "platform/basic/variant.h"
#include "platform/com/event_source.h"
#include "typelib/norv_io_core_events.h"

namespace plugins {

class cPluginHost : public typelib::INorvIoCoreEvents {
 public:
  cPluginHost();
  ~cPluginHost() override;

  const std::string& ProgID() const { return progid_; }
  const ObjectPtr& PlugInData() const { return plugin_data_; }
  const std::string& PluginXML() const { return plugin_xml_; }
  // True for an events plug-in, false for a notifier plug-in (or none yet).
  bool IsIoCoreEvents() const { return is_io_core_events_; }

  // Creates the plug-in by ProgID and finds its kind; false (with a log
  // line) when it cannot be created or implements neither interface.
  bool CreatePlugin(const std::string& ProgID, const std::string& PluginXML);

  void OnGuiShutdown(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                     ObjectPtr& PlugInData) override;
  void OnStartup(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                 ObjectPtr& PlugInData) override;
  void OnShutdown(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                  ObjectPtr& PlugInData) override;
  void OnUserSwitch(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                    ObjectPtr& PlugInData) override;
  void OnSettingsChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                        ObjectPtr& PlugInData, bool& fUserSettingsAlsoChanged) override;
  void OnUserSettingsChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                            ObjectPtr& PlugInData) override;
  void OnDeviceChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                      ObjectPtr& PlugInData) override;
  // Reaches notifier plug-ins only; an events plug-in's host just keeps the
  // arguments.
  void OnUserLogoff(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                    ObjectPtr& PlugInData);
  bool GetStatus(ObjectPtr& PlugInData, std::string& SubStatus) override;

  // Sends the message on the plug-in's channel unchanged. The one operation
  // that lets a failure through (Nothing channel: 91).
  void DoNotify(std::string& Name, platform::Variant& Param1, platform::Variant& Param2);

  std::string TypeName() const override { return "cPluginHost"; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  // Which host event is being forwarded (the message name table).
  enum class Event { kGuiShutdown, kStartup, kShutdown, kUserSwitch, kSettingsChange, kUserSettingsChange,
                     kDeviceChange, kUserLogoff };

  void Forward(Event event, ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
               ObjectPtr& PlugInData, bool* fUserSettingsAlsoChanged);
  void CallEventsPlugin(Event event, ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                        ObjectPtr& PlugInData, bool* fUserSettingsAlsoChanged);
  void AttachNotifierPlugin();
  void RunStartupExchange();
  // The host channel's OnNotify: the requests of a notifier plug-in.
  void OnNotify(std::string& Name, platform::Variant& Param1, platform::Variant& Param2);
  // Sends on the plug-in's channel; raises 91 when there is none.
  void SendToPlugin(std::string Name, platform::Variant& Param1, platform::Variant& Param2);

  std::shared_ptr<contracts::cNotifier> m_HostNotifier;
  std::shared_ptr<contracts::cNotifier> PluginNotifier;
  std::shared_ptr<typelib::INorvIoCoreEvents> events_plugin_;
  std::shared_ptr<contracts::INotifierHost> notifier_host_;
  bool is_io_core_events_ = false;
  ObjectPtr settings_;
  ObjectPtr user_settings_;
  ObjectPtr io_notify_object_;
  ObjectPtr plugin_data_;
  std::string progid_;
  std::string plugin_xml_;
  platform::com::Cookie host_cookie_ = 0;
  const std::thread::id home_thread_ = std::this_thread::get_id();
};

}  // namespace plugins
