#include "plugins/ionotify/io_notify.h"

#include <vector>

#include "alerts/mod_alert.h"
#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "dns/dns_resolver.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "plugins/ionotify/object_table.h"
#include "plugins/ionotify/xml_element_object.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "settings/shared/shared_settings.h"
#include "store/file_manager.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {

cIoNotify::cIoNotify() {
  platform::Quietly([&] {
    // A registry object of our own: the thread's shared one may have a key
    // open that its user still needs.
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (registry->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey, contracts::kRegistryRead)) {
      std::string level = registry->ReadString("TraceLevel");
      if (!level.empty()) trace_level_ = platform::CLng(platform::Variant(level));
    }
  });
}

cIoNotify::~cIoNotify() {
  platform::Quietly([&] { Trace("In cIoNotify.Terminate"); });
  dns_resolver_.reset();
  file_manager_.reset();
}

void cIoNotify::Trace(std::string_view text) const {
  if (Tracing()) service::WriteSystemLog("(trace)" + std::string(text));
}

void cIoNotify::SetTimeFormats(std::string date_format, std::string time_format, bool use_24_hour) {
  date_format_ = std::move(date_format);
  time_format_ = std::move(time_format);
  use_24_hour_ = use_24_hour;
}

platform::xml::Document& cIoNotify::FilterAlertDocument() {
  if (filter_alert_document_ == nullptr) {
    filter_alert_document_ = std::make_unique<platform::xml::Document>(platform::xml::Threading::kFree);
    filter_alert_document_->LoadXml("<root />");
  }
  return *filter_alert_document_;
}

ObjectTable& cIoNotify::Objects() {
  if (objects_ == nullptr) objects_ = std::make_unique<ObjectTable>();
  return *objects_;
}

void cIoNotify::SetResClient(const platform::com::ObjectPtr& resolver) {
  platform::Quietly([&] { contracts::Support().SetBrandingObject(resolver); });
}

platform::com::ObjectPtr cIoNotify::ResClient() {
  platform::com::ObjectPtr resolver;
  platform::Quietly([&] { resolver = contracts::Support().BrandingObject(); });
  return resolver;
}

void cIoNotify::IoWriteSystemLog(const std::string& lin) { service::WriteSystemLog(lin); }

void cIoNotify::IoWriteReportLog(const std::string& LogName, uint8_t Severity, const std::string& Message) {
  if (LogName == "XMLACTION") {
    std::string message = Message;
    DoXMLAction(message);
    return;
  }
  platform::Quietly([&] { alerts::WriteLogEntry(LogName, Severity, Message); });
}

void cIoNotify::IoWriteXMLAction(const std::string& Message) {
  service::WriteSystemLog("IoWriteXMLAction - received \r\n" + Message);
  std::string copy = Message;
  DoXMLAction(copy);
}

platform::com::ObjectPtr cIoNotify::ThreadSafeSharedData() {
  if (shared_data_.IsNull()) {
    shared_document_.LoadXml("<root />");
    shared_data_ = shared_document_.DocumentElement();
  }
  return WrapXmlNode(shared_data_);
}

bool cIoNotify::GetFeaturePluginStatus(const std::string& ProgID, const std::string& featureName) {
  bool status = false;
  // The registry's answer, through the Application object that fronts it.
  platform::Quietly([&] {
    std::vector<platform::Variant> args{platform::Variant(ProgID), platform::Variant(featureName)};
    status = platform::CBool(
        platform::com::CallByName(service::GetApplicationObject(), "IoGetFeaturePluginStatus", args));
  });
  return status;
}

void cIoNotify::NotifyFeaturePlugins(typelib::NotifyType nt, bool fUserSettingsAlsoChanged) {
  platform::Quietly([&] {
    plugins::NotifyFeaturePlugins(nt, settings::GetSystemSettings(), settings::GetUserSettings(),
                                  fUserSettingsAlsoChanged);
  });
}

platform::com::ObjectPtr cIoNotify::GetFileManager() {
  if (file_manager_ == nullptr) {
    platform::Quietly([&] { file_manager_ = std::make_shared<store::cFileMgr>(); });
  }
  return file_manager_;
}

platform::com::ObjectPtr cIoNotify::GetDnsResolver() {
  if (dns_resolver_ == nullptr) {
    platform::Quietly([&] { dns_resolver_ = std::make_shared<dns::cDnsResolver>(); });
  }
  return dns_resolver_;
}

void cIoNotify::CancelAllDNSRequests() {
  Trace("cIoNotify.CancelAllDNSRequests");
  if (dns_resolver_ == nullptr) return;
  platform::Quietly([&] {
    if (auto resolver = platform::com::QueryInterface<dns::cDnsResolver>(dns_resolver_)) {
      resolver->BeforeTerminate();
    } else {
      platform::com::CallByName(dns_resolver_, "BeforeTerminate");
    }
  });
}

}  // namespace plugins::ionotify
