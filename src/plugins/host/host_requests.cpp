#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/xml/document.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/late_bound_settings.h"
#include "plugins/host/settings_request.h"
#include "settings/collection/storable_setting.h"
#include "systemlog/system_log.h"

namespace plugins {

using platform::Variant;

namespace {

void GetSetting(const platform::com::ObjectPtr& system, const platform::com::ObjectPtr& user, Variant& Param1,
                Variant& Param2) {
  Param2 = Variant(std::string());
  host::AddressedSetting setting = host::AddressSetting(platform::CStr(Param1));
  const platform::com::ObjectPtr& settings = setting.system ? system : user;
  if (setting.name.empty() || settings == nullptr) return;
  Param2 = Variant(host::ValueText(settings, setting.name));
}

void SetSetting(const std::string& progid, const platform::com::ObjectPtr& system,
                const platform::com::ObjectPtr& user, Variant& Param1, Variant& Param2) {
  host::AddressedSetting setting = host::AddressSetting(platform::CStr(Param1));
  const platform::com::ObjectPtr& settings = setting.system ? system : user;
  if (setting.name.empty() || settings == nullptr) return;
  try {
    host::SetValueText(settings, setting.name, platform::CStr(Param2));
  } catch (const platform::BasicError& error) {
    // A name no settings file could hold: the plug-in is not told (requests
    // report nothing), so the log is.
    if (error.number() == settings::kErrUnstorableSetting) {
      service::WriteSystemLog("cPluginHost - SetSetting from plug-in '" + progid + "' refused: " +
                              error.description());
    }
    throw;
  }
}

void GetSettings(const platform::com::ObjectPtr& system, const platform::com::ObjectPtr& user, Variant& Param1,
                 Variant& Param2) {
  Param2 = Variant(std::string());
  platform::xml::Document document;
  if (!document.LoadXml(platform::CStr(Param1))) return;
  host::AnswerSettingsRequest(document.DocumentElement(), system, user);
  Param2 = Variant(document.Xml());
}

}  // namespace

void cPluginHost::OnNotify(std::string& Name, Variant& Param1, Variant& Param2) {
  // Refused before anything of the host is touched; the plug-in hears why.
  if (std::this_thread::get_id() != home_thread_) {
    platform::RaiseError(contracts::kErrNotifyFromAnotherThread,
                         "plug-in '" + progid_ + "' sent '" + Name +
                             "' from another thread; the service answers requests only on its own thread (send "
                             "them while handling one of its messages)",
                         "cPluginHost");
  }
  // The fields may change under a re-entrant event; the request answers
  // from those of the moment it arrived.
  std::shared_ptr<platform::com::Object> keep = weak_from_this().lock();
  platform::com::ObjectPtr system = settings_, user = user_settings_, io_notify = io_notify_object_;
  platform::Step([&] {
    if (Name == "GetSetting") {
      GetSetting(system, user, Param1, Param2);
    } else if (Name == "GetSettings") {
      GetSettings(system, user, Param1, Param2);
    } else if (Name == "SetSetting") {
      SetSetting(progid_, system, user, Param1, Param2);
    } else if (Name == "GetSharedData") {
      if (io_notify == nullptr) return;
      Param2 = platform::com::CallByName(io_notify, "ThreadSafeSharedData");
    } else if (Name == "DoXMLAction") {
      if (io_notify == nullptr) return;
      // On a copy: the dispatcher's reply goes nowhere.
      std::vector<Variant> message{Variant(platform::CStr(Param1))};
      platform::com::CallByName(io_notify, "DoXMLAction", message);
    }
  });
  platform::Err::Clear();
}

}  // namespace plugins
