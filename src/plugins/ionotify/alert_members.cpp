// The alert and report-log members: each the alert store's operation of the
// same meaning with the caller's arguments, its errors contained. IoPostAlert
// adds the firewall mode to the action ids of a firewall alert.
#include <string>

#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "plugins/ionotify/actions.h"
#include "plugins/ionotify/io_notify.h"
#include "settings/shared/shared_settings.h"

namespace plugins::ionotify {
namespace {

// The store's answer, or `failed` when it raised.
template <class T, class F>
T Contained(T failed, F&& call) {
  T result = failed;
  platform::Quietly([&] { result = call(); });
  return result;
}

}  // namespace

bool cIoNotify::IoPostAlert(const std::string& StoreName, uint8_t Severity, const std::string& Summary,
                            const std::string& Description, const std::string& AlertID, const std::string& ActionIDs,
                            bool fHideFromUser, int32_t& RecordIndex, bool ShowPrivOnly, double& EventTime,
                            const std::string& Tag) {
  std::string action_ids = ActionIDs;
  platform::Quietly([&] {
    if (platform::LCase(StoreName) == "firewall") {
      std::string mode;
      platform::Quietly([&] {
        if (settings::SettingsPtr system = settings::GetSystemSettings()) {
          mode = platform::CStr(system->GetValue("fw.ui.modepreset"));
        }
      });
      action_ids = ActionIDs + std::string(1, '\x01') + "FirewallMode=" + mode;
    }
  });
  return Contained(false, [&] {
    return alerts::PostAlert(StoreName, Severity, Summary, Description, AlertID, action_ids, fHideFromUser,
                             RecordIndex, ShowPrivOnly, EventTime, Tag);
  });
}

bool cIoNotify::IoUpdateAlert(int32_t AlertIndex, uint8_t SeverityDelta, const std::string& AddToDescription,
                              bool ResetUserStatus) {
  return Contained(false, [&] { return alerts::UpdateAlert(AlertIndex, SeverityDelta, AddToDescription, ResetUserStatus); });
}

bool cIoNotify::IoUpdateAlert2(int32_t AlertIndex, uint8_t SeverityDelta, const std::string& AddToDescription,
                               bool ResetUserStatus, const std::string& AddToActionIDs) {
  return Contained(false, [&] {
    return alerts::UpdateAlert2(AlertIndex, SeverityDelta, AddToDescription, ResetUserStatus, AddToActionIDs);
  });
}

bool cIoNotify::IoNewAlert(const std::string& AlertStoreName) {
  return Contained(false, [&] { return alerts::NewAlert(AlertStoreName); });
}

bool cIoNotify::IoBrandNewAlerts(const std::string& StoreName) {
  return Contained(false, [&] { return alerts::BrandNewAlerts(StoreName); });
}

bool cIoNotify::IoAnyAlerts(const std::string& StoreName) {
  return Contained(false, [&] { return alerts::AnyAlerts(StoreName); });
}

int32_t cIoNotify::IoGetAlertIndicesAll(const std::string& StoreName, platform::Variant& AlertIndex) {
  return Contained(0, [&] { return alerts::GetAlertIndicesAll(StoreName, AlertIndex); });
}

int32_t cIoNotify::IoGetAlertStores(platform::Variant& StoreName) {
  return Contained(0, [&] { return alerts::GetAlertStores(StoreName); });
}

int32_t cIoNotify::IoGetAlertIndices(const std::string& StoreName, platform::Variant& AlertIndex, bool NoSysProcOnly,
                                     const std::string& EventID) {
  return Contained(0, [&] { return alerts::GetAlertIndices(StoreName, AlertIndex, NoSysProcOnly, EventID); });
}

bool cIoNotify::IoGetAlert(int32_t AlertIndex, platform::Variant& Severity, platform::Variant& Summary,
                           platform::Variant& Description, platform::Variant& AlertID, platform::Variant& ActionIDs,
                           platform::Variant& UserProc, platform::Variant& EventDateTime, platform::Variant& SysProc,
                           platform::Variant& Tag) {
  return Contained(false, [&] {
    uint8_t severity = 0;
    std::string summary, description, alert_id, action_ids, tag;
    bool user_proc = false, sys_proc = false;
    platform::Variant event_date_time;
    if (!alerts::GetAlert(AlertIndex, severity, summary, description, alert_id, action_ids, user_proc,
                          event_date_time, sys_proc, tag)) {
      return false;
    }
    Severity = platform::Variant(severity);
    Summary = platform::Variant(summary);
    Description = platform::Variant(description);
    AlertID = platform::Variant(alert_id);
    ActionIDs = platform::Variant(action_ids);
    UserProc = platform::Variant(user_proc);
    EventDateTime = event_date_time;
    SysProc = platform::Variant(sys_proc);
    Tag = platform::Variant(tag);
    return true;
  });
}

bool cIoNotify::IoChangeAlertDescription(int32_t AlertIndex, const std::string& NewDescription) {
  return Contained(false, [&] { return alerts::ChangeAlertDescription(AlertIndex, NewDescription); });
}

bool cIoNotify::IoDeleteAlert(int32_t AlertIndex) {
  return Contained(false, [&] { return alerts::DeleteAlert(AlertIndex); });
}

bool cIoNotify::IoRemoveDeletedAlerts(const platform::Variant& StoreName) {
  return Contained(false, [&] { return alerts::RemoveDeletedAlerts(StoreName); });
}

bool cIoNotify::IoSetAlertSysProc(int32_t AlertIndex) {
  return Contained(false, [&] { return alerts::SetAlertSysProc(AlertIndex); });
}

bool cIoNotify::IoSetAlertUserProc(int32_t AlertIndex) {
  return Contained(false, [&] { return alerts::SetAlertUserProc(AlertIndex); });
}

bool cIoNotify::IoSetAlertDeleted(int32_t AlertIndex) {
  return Contained(false, [&] { return alerts::SetAlertDeleted(AlertIndex); });
}

bool cIoNotify::IoAnyPrivacyEntries() {
  return Contained(false, [&] { return alerts::AnyPrivacyEntries(); });
}

void cIoNotify::IoDeleteLog(const std::string& LogName) {
  platform::Quietly([&] { alerts::DeleteLog(LogName); });
}

std::string cIoNotify::IoGetPrivacyReport() {
  return Contained(std::string(), [&] { return alerts::GetPrivacyReport(); });
}

void AlertPostAction(cIoNotify& io, const Node& action) {
  int32_t record_index = 0;
  double event_time = alerts::kNoEventTime;
  io.IoPostAlert(action.GetAttribute("storename"), 70, action.GetAttribute("Summary"),
                 action.GetAttribute("description"), "ASD002", "", true, record_index, false, event_time, "");
}

}  // namespace plugins::ionotify
