#include "service/application/application.h"

#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "service/application/plugin_registry_calls.h"

namespace service {

Application::Application() = default;
Application::~Application() = default;

settings::SettingsPtr Application::System() const {
  return system_settings_ != nullptr ? system_settings_ : settings::GetSystemSettings();
}

settings::SettingsPtr Application::User() const {
  return user_settings_ != nullptr ? user_settings_ : settings::GetUserSettings();
}

void Application::RaiseEvent(platform::com::DispId id, const char* name) {
  platform::Step([&] { events_.Raise(platform::com::EventCall{id, name}); });
}

int32_t Application::GetFSO(const std::string&, platform::Variant& o) {
  o = platform::Variant::Nothing();
  platform::Step([&] { o = platform::Variant(platform::com::CreateObject("Scripting.FileSystemObject")); });
  return 0;
}

platform::com::ObjectPtr Application::GetIoNotify() {
  platform::com::ObjectPtr io_notify;
  platform::Step([&] { io_notify = plugin_registry::GetSharedIoNotify(); });
  return io_notify;
}

platform::com::ObjectPtr Application::GetUpdateInfo(const std::string&) { return nullptr; }

void Application::GuiShutdown() {
  platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnGuiShutdown, System(), User()); });
}

platform::com::ObjectPtr Application::IoGetFeaturePluginData(const std::string& ProgID) {
  platform::com::ObjectPtr data;
  platform::Step([&] { data = plugin_registry::GetFeaturePluginData(ProgID); });
  return data;
}

bool Application::IoGetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus) {
  bool status = false;
  platform::Step([&] { status = plugin_registry::GetFeaturePluginStatus(ProgID, SubStatus); });
  return status;
}

platform::com::ObjectPtr Application::DnsResolver() {
  platform::com::ObjectPtr resolver;
  platform::Step([&] {
    platform::com::ObjectPtr io_notify = GetIoNotify();
    if (io_notify == nullptr) return;
    platform::Variant answer = platform::com::CallByName(io_notify, "GetDnsResolver");
    if (answer.IsObject()) resolver = answer.ObjectValue();
  });
  return resolver;
}

std::string Application::version() {
  std::string text;
  platform::Step([&] {
    auto version_service = contracts::Support().Version();
    // Format(major, " 0\."), Format(minor, "00\."), Format(revision, "000").
    text = " " + contracts::VersionService::FormatNumbers(version_service->Major(), version_service->Minor(),
                                                         version_service->Revision());
  });
  return text;
}

}  // namespace service
