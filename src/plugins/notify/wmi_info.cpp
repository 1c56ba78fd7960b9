#include "plugins/notify/wmi_info.h"

#include <memory>

#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/registry/registry_types.h"
#include "systemlog/system_log.h"

namespace plugins {
namespace {

constexpr char kWmiInfoValue[] = "WmiInfo";
constexpr char kUnknownClient[] = "Client: version unknown; ";

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  size_t at = 0;
  while ((at = text.find(what, at)) != std::string::npos) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
}

std::string ClientVersion(settings::cSettings& Settings) {
  return platform::CStr(Settings.GetValue("sys.ClientVersion"));
}

}  // namespace

std::string WmiInfoSummary(settings::cSettings& Settings) {
  const std::string version = ClientVersion(Settings);
  std::string summary = version.empty() ? std::string(kUnknownClient) : "Client: " + version + "; ";
  if (Settings.GetValueB("legacy.featureAntivirus")) {
    summary += "Antivirus: " + platform::CStr(Settings.GetValue("sys.AvVersion")) +
               " Status: " + platform::CStr(Settings.GetValue("sys.AvStatus")) + "; ";
  }
  ReplaceAll(summary, "(now)", platform::FormatShortDate(platform::Now()));
  return summary;
}

void UpdateWmiInfo(const settings::SettingsPtr& Settings) {
  service::WriteSystemLog("IoCoreEvents.NotifyFeaturePlugins: updating WmiInfo value");
  platform::Step([&] {
    if (Settings == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "NotifyFeaturePlugins");
    const std::string version = ClientVersion(*Settings);
    const std::string summary = WmiInfoSummary(*Settings);
    if (version.empty()) return;
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (registry->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey,
                          contracts::kRegistryFullAccess)) {
      registry->WriteString(kWmiInfoValue, summary);
    }
  });
  service::WriteSystemLog("IoCoreEvents.NotifyFeaturePlugins: finished updating WmiInfo value");
}

}  // namespace plugins
