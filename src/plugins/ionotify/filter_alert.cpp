#include "plugins/ionotify/filter_alert.h"

#include "alerts/mod_alert.h"
#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/xml/document.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/xml_text.h"
#include "plugins/notify/shared_io_notify.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {
namespace {

constexpr char kEncodedKeyPrefix[] = "_x-";

std::string FormatNow(double now, const std::string& pattern) {
  return pattern.empty() ? platform::FormatGeneralDate(now) : platform::FormatDate(now, pattern);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The object the occurrences go through: the thread's shared cIoNotify,
// else this one.
cIoNotify& SharedOr(cIoNotify& self) {
  cIoNotify* shared = nullptr;
  platform::Quietly([&] {
    shared = platform::com::QueryInterface<cIoNotify>(plugins::GetSharedIoNotify()).get();
  });
  return shared != nullptr ? *shared : self;
}

}  // namespace

std::string FilterAlertKey(const std::string& alert_id, const std::string& user) {
  std::string key = alert_id + user;
  for (char& c : key) {
    if (c == ' ') c = '_';
  }
  if (key.empty()) return key;
  if (platform::xml::IsValidXmlName(key) && key.find(':') == std::string::npos && key.rfind(kEncodedKeyPrefix, 0) != 0) {
    return key;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string encoded = kEncodedKeyPrefix;
  for (unsigned char c : key) {
    encoded += kHex[c >> 4];
    encoded += kHex[c & 15];
  }
  return encoded;
}

std::string FilterAlertStamp(double now, const std::string& date_format, const std::string& time_format,
                             bool use_24_hour) {
  return " (" + FormatNow(now, date_format) + " " +
         (use_24_hour ? platform::FormatLongTime(now) : FormatNow(now, time_format)) + ")";
}

platform::xml::Node FindKeyElement(const platform::xml::Node& root, const std::string& key) {
  for (platform::xml::Node child = root.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == platform::xml::NodeType::kElement && child.NodeName() == key) return child;
  }
  return {};
}

void cIoNotify::LogFilterAlert(const platform::xml::Node& element) {
  platform::xml::Document& keys = FilterAlertDocument();
  if (Tracing()) Trace("Alert Keys are \r\n" + keys.Xml());

  std::string host, date, alert_id, user, store, summary, description;
  uint8_t severity = 0;
  platform::Step([&] {
    host = ChildText(element, "host");
    date = ChildText(element, "date");
    alert_id = ChildText(element, "alertid");
    user = GetAlertUserID();
    store = ChildText(element, "store");
    summary = ChildText(element, "summary");
    description = ChildText(element, "description");
    severity = platform::CByte(platform::Variant(ChildText(element, "severity")));
  });
  platform::Err::Clear();

  if (alert_id == "RS999") {
    service::WriteSystemLog(
        "LogFilterAlert - Alert ID indicates Temporary RuleSpace Content Filter Failure. Notifying System Log");
    return;
  }
  Trace("LogFilterAlert - host = " + host);
  Trace("LogFilterAlert - DTS = " + date);
  Trace("LogFilterAlert - AlertID = " + alert_id);
  Trace("LogFilterAlert - userid = " + user);
  Trace("LogFilterAlert - Store = " + store);
  Trace("LogFilterAlert - Severity = " + std::to_string(severity));
  Trace("LogFilterAlert - Summary = " + summary);
  Trace("LogFilterAlert - description = " + description);

  if (user.empty() || user == "*") {
    platform::Quietly([&] { user = contracts::Support().Branding()->LookupString("{%strings%}/anunknownuser", ""); });
  }
  const double now = platform::Now();
  const std::string occurrence = "\r\n" + host + FilterAlertStamp(now, DateFormat(), TimeFormat(), Use24Hour());
  const std::string key = FilterAlertKey(alert_id, user);
  int32_t index = 0;
  cIoNotify& shared = SharedOr(*this);

  if (!alert_id.empty()) {
    bool create = true;
    platform::Quietly([&] {
      platform::xml::Node found = FindKeyElement(keys.DocumentElement(), key);
      if (found) index = platform::CLng(platform::Variant(found.Text()));
    });
    Trace("LogFilterAlert - attempting to update existing record number " + std::to_string(index));
    if (index > 0) {
      if (shared.IoUpdateAlert(index, 0, occurrence, true)) {
        Trace("LogFilterAlert - updating existing record");
        create = false;
      } else {
        Trace("LogFilterAlert - update of existing record failed");
      }
    }
    if (create) {
      index = 0;
      if (!store.empty() && !alert_id.empty() && !summary.empty() && !description.empty() && severity > 0) {
        Trace("LogFilterAlert - creating new record");
        description = ReplaceAll(description, "{$user}", user);
        double event_time = alerts::kNoEventTime;
        shared.IoPostAlert(store, severity, summary, description, alert_id, "", false, index, true, event_time, "");
        shared.IoUpdateAlert(index, 5, occurrence, true);
      }
    }
  }

  if (index >= 1 && !key.empty()) {
    Trace("updating alert index '" + std::to_string(index) + "' for key '" + key + "'");
    platform::Quietly([&] {
      platform::xml::Node root = keys.DocumentElement();
      platform::xml::Node found = FindKeyElement(root, key);
      if (!found) found = root.AppendChild(keys.CreateElement(key));
      found.SetText(std::to_string(index));
    });
    if (Tracing()) Trace("Alert Keys are \r\n" + keys.Xml());
  }
}

}  // namespace plugins::ionotify
