// The secure report log: "REPORT" entries (PostToReportLog), the user they
// carry (GetAlertUserID), and the "getsecurelog" and "clearsecurelog" actions.
#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "plugins/ionotify/actions.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/secure_logs.h"
#include "plugins/ionotify/xml_text.h"
#include "settings/shared/shared_settings.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {
namespace {

std::string BrandingString(const std::string& path, const std::string& fallback) {
  std::string text = fallback;
  platform::Quietly([&] { text = contracts::Support().Branding()->LookupString(path, fallback); });
  return text;
}

// The "date" text read as a date when it is one, else the current local time,
// as an automation date number.
std::string WhenText(const std::string& date) {
  double when = platform::Now();
  platform::Quietly([&] {
    platform::Variant text(date);
    if (platform::IsDate(text)) when = platform::CDate(text);
  });
  return platform::CStr(platform::Variant(when));
}

}  // namespace

std::string cIoNotify::GetAlertUserID() {
  std::string name;
  platform::Quietly([&] {
    settings::SettingsPtr system = settings::GetSystemSettings();
    if (system == nullptr || !system->GetValueB("legacy.featuremultiuser")) return;
    settings::SettingsPtr user = settings::GetUserSettings();
    if (user != nullptr) name = platform::CStr(user->GetValue("user.friendlyname"));
    Trace("GetAlertUserID retrieved user settings user.friendlyname with a value of '" + name + "'");
    if (name.empty()) name = BrandingString("{%strings%}/anunknownuser", ".An unknown user");
  });
  if (name.size() < 2) name = BrandingString("{%strings%}/thiscomputer", ".This Computer");
  Trace("GetAlertUserID is returning '" + name + "'");
  return name;
}

void cIoNotify::PostToReportLog(const platform::xml::Node& AlertEntryEl) {
  platform::Quietly([&] {
    const std::string entry_type = ChildText(AlertEntryEl, "entrytype");
    std::string alert_id = ChildText(AlertEntryEl, "alertid");
    const std::string host = ChildText(AlertEntryEl, "host");
    const std::string date = ChildText(AlertEntryEl, "date");
    std::string url = ChildText(AlertEntryEl, "url");
    const std::string referer = ChildText(AlertEntryEl, "referer");
    const std::string user = GetAlertUserID();
    if (entry_type.empty()) return;
    if (alert_id.empty()) alert_id = "CF999";
    if (url.empty()) url = host;
    const std::string entry = SecureLogEntry(alert_id, WhenText(date), user, referer, url);
    Trace("Posting to secure log the following entry:");
    Trace(entry);
    AppendSecureLogEntry(entry_type, entry);
  });
}

void LogAlertAction(cIoNotify& io, const Node& action) {
  const std::string entry_type = ChildText(action, "entrytype");
  if (entry_type == "FILTER") {
    if (BrandingString("logs/alert/allowed", "") == "true") {
      io.Trace("Writing as a filter alert");
      io.LogFilterAlert(action);
    }
  } else if (entry_type == "REPORT") {
    io.Trace("Writing as a filter report entry");
    io.PostToReportLog(action);
  } else {
    service::WriteSystemLog("Invalid LOG ALERT type received: '" + action.Xml() + "'");
  }
}

std::string GetSecureLogEntries(cIoNotify& /*io*/, const Node& action) {
  const std::string name = action.GetAttribute("logname");
  service::WriteSystemLog("Retrieving secure log with id '" + name + "'");
  const bool only_unread = platform::LCase(action.GetAttribute("onlyunread")) != "false";
  if (only_unread) service::WriteSystemLog("only unread Securelog Entries will be retrieved");
  const bool mark_read = platform::LCase(action.GetAttribute("markread")) != "false";
  if (mark_read) service::WriteSystemLog("Securelog Entries will be marked as read");
  if (name.empty()) return {};
  return FindOrOpenSecureLog(name)->GetEntries(only_unread, mark_read);
}

void ClearSecureLogAction(cIoNotify& io, const Node& action) {
  const std::string name = action.GetAttribute("logname");
  if (name.empty()) return;
  io.Trace("clearing secure log '" + name + "'");
  ClearSecureLog(name);
}

}  // namespace plugins::ionotify
