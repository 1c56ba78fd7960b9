#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/plugin_call_watch.h"

namespace plugins {

using platform::Variant;

namespace {

// What a notifier plug-in hears for each host event.
const char* MessageName(int event) {
  static const char* const kNames[] = {"OnGuiShutdown",    "OnStartup",      "OnSvcShutdown",  "OnUserLogon",
                                       "OnSettingsChange", "OnSettingsChange", "OnDeviceChange", "OnUserLogoff"};
  return kNames[event];
}

}  // namespace

void cPluginHost::CallEventsPlugin(Event event, ObjectPtr& Settings, ObjectPtr& UserSettings,
                                   ObjectPtr& IoNotifyObject, ObjectPtr& PlugInData, bool* fUserSettingsAlsoChanged) {
  if (!events_plugin_) platform::RaiseError(platform::kErrObjectNotSet, {}, "cPluginHost");
  // Held for the call: a re-entrant request may release the host's reference.
  std::shared_ptr<typelib::INorvIoCoreEvents> plugin = events_plugin_;
  switch (event) {
    case Event::kGuiShutdown: plugin->OnGuiShutdown(Settings, UserSettings, IoNotifyObject, PlugInData); break;
    case Event::kStartup: plugin->OnStartup(Settings, UserSettings, IoNotifyObject, PlugInData); break;
    case Event::kShutdown: plugin->OnShutdown(Settings, UserSettings, IoNotifyObject, PlugInData); break;
    case Event::kUserSwitch: plugin->OnUserSwitch(Settings, UserSettings, IoNotifyObject, PlugInData); break;
    case Event::kSettingsChange:
      plugin->OnSettingsChange(Settings, UserSettings, IoNotifyObject, PlugInData, *fUserSettingsAlsoChanged);
      break;
    case Event::kUserSettingsChange:
      plugin->OnUserSettingsChange(Settings, UserSettings, IoNotifyObject, PlugInData);
      break;
    case Event::kDeviceChange: plugin->OnDeviceChange(Settings, UserSettings, IoNotifyObject, PlugInData); break;
    case Event::kUserLogoff: break;  // not part of the events interface
  }
}

void cPluginHost::Forward(Event event, ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                          ObjectPtr& PlugInData, bool* fUserSettingsAlsoChanged) {
  // Kept alive to the end: the plug-in may release the last reference to its
  // host during the event (a re-entrant DestroyIOPluginData).
  std::shared_ptr<platform::com::Object> keep = weak_from_this().lock();
  settings_ = Settings;
  user_settings_ = UserSettings;
  io_notify_object_ = IoNotifyObject;
  plugin_data_ = PlugInData;
  if (is_io_core_events_) {
    platform::Step([&] {
      CallEventsPlugin(event, Settings, UserSettings, IoNotifyObject, PlugInData, fUserSettingsAlsoChanged);
    });
  } else {
    platform::Step([&] {
      Variant param1(PlugInData);
      Variant param2 = Variant::Nothing();
      SendToPlugin(MessageName(static_cast<int>(event)), param1, param2);
      // PlugInData is an object: anything else the plug-in leaves there is
      // a type mismatch, and the data stays as it was.
      if (!param1.IsObject()) platform::RaiseError(platform::kErrTypeMismatch, {}, "cPluginHost");
      PlugInData = param1.ObjectValue();
    });
  }
  plugin_data_ = PlugInData;
  platform::Err::Clear();
}

void cPluginHost::OnGuiShutdown(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                                ObjectPtr& PlugInData) {
  Forward(Event::kGuiShutdown, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}
void cPluginHost::OnStartup(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                            ObjectPtr& PlugInData) {
  Forward(Event::kStartup, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}
void cPluginHost::OnShutdown(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                             ObjectPtr& PlugInData) {
  Forward(Event::kShutdown, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}
void cPluginHost::OnUserSwitch(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                               ObjectPtr& PlugInData) {
  Forward(Event::kUserSwitch, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}
void cPluginHost::OnSettingsChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                                   ObjectPtr& PlugInData, bool& fUserSettingsAlsoChanged) {
  Forward(Event::kSettingsChange, Settings, UserSettings, IoNotifyObject, PlugInData, &fUserSettingsAlsoChanged);
}
void cPluginHost::OnUserSettingsChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                                       ObjectPtr& PlugInData) {
  Forward(Event::kUserSettingsChange, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}
void cPluginHost::OnDeviceChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                                 ObjectPtr& PlugInData) {
  Forward(Event::kDeviceChange, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}
void cPluginHost::OnUserLogoff(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                               ObjectPtr& PlugInData) {
  Forward(Event::kUserLogoff, Settings, UserSettings, IoNotifyObject, PlugInData, nullptr);
}

bool cPluginHost::GetStatus(ObjectPtr& PlugInData, std::string& SubStatus) {
  std::shared_ptr<platform::com::Object> keep = weak_from_this().lock();
  plugin_data_ = PlugInData;
  bool status = false;
  PluginCallWatch watch("cPluginHost", progid_, "GetStatus");
  if (is_io_core_events_) {
    platform::Step([&] {
      if (!events_plugin_) platform::RaiseError(platform::kErrObjectNotSet, {}, "cPluginHost");
      std::shared_ptr<typelib::INorvIoCoreEvents> plugin = events_plugin_;
      status = plugin->GetStatus(PlugInData, SubStatus);
    });
  } else {
    platform::Step([&] {
      Variant param1(PlugInData);
      Variant param2(false);
      SendToPlugin("GetStatus." + SubStatus, param1, param2);
      status = platform::CBool(param2);
    });
  }
  platform::Err::Clear();
  return status;
}

}  // namespace plugins
