#include "plugins/ionotify/filter_alert.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "alerts/mod_alert.h"
#include "io_notify_fixture.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/xml/document.h"
#include "settings/shared/shared_settings.h"

namespace plugins::ionotify::testing {
namespace {

struct AlertFields {
  uint8_t severity = 0;
  std::string summary, description, alert_id;
};

std::vector<AlertFields> AlertsOf(cIoNotify& io, const std::string& store) {
  std::vector<AlertFields> found;
  platform::Variant indices;
  int32_t count = io.IoGetAlertIndicesAll(store, indices);
  for (int32_t i = 1; i <= count; ++i) {
    AlertFields fields;
    std::string action_ids, tag;
    bool user_proc = false, sys_proc = false;
    platform::Variant when;
    alerts::GetAlert(platform::CLng(indices.Element(i)), fields.severity, fields.summary, fields.description,
                     fields.alert_id, action_ids, user_proc, when, sys_proc, tag);
    found.push_back(fields);
  }
  return found;
}

std::string FilterAlert(const std::string& alert_id, const std::string& host, const std::string& severity = "10",
                        const std::string& description = "blocked for {$user}") {
  return "<m><action type='logalert'><entrytype>FILTER</entrytype><host>" + host + "</host><alertid>" + alert_id +
         "</alertid><store>WebFilter</store><severity>" + severity + "</severity><summary>Blocked</summary>" +
         "<description>" + description + "</description><date>x</date></action></m>";
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A branding resolver with a few strings of the test's own.
class FakeBranding : public contracts::BrandingResolver {
 public:
  std::map<std::string, std::string> strings;
  void Initialise() override {}
  void Reset() override {}
  void SwitchBrand(const std::string&) override {}
  std::string ActiveBrand() override { return {}; }
  std::string Expand(const std::string& text, const std::string&) override { return text; }
  std::string LookupString(const std::string& path, const std::string& fallback) override {
    auto found = strings.find(path);
    return found == strings.end() ? fallback : found->second;
  }
  platform::xml::NodeList LookupNodes(const std::string&) override { return {}; }
  std::string ConfigurationXml(const std::string&, const std::string&) override { return {}; }
};

TEST_F(IoNotifyTest, TwoFilterAlertsOfOneIdAndUserMakeOneAlertWithALineEach) {
  std::vector<AlertFields> after_first, after_second;
  std::string keys;
  Run([&](cIoNotify& io) {
    io.SetTimeFormats("yyyy", "HH", false);
    Act(io, FilterAlert("CF100", "first.example"));
    after_first = AlertsOf(io, "WebFilter");
    Act(io, FilterAlert("CF100", "second.example"));
    after_second = AlertsOf(io, "WebFilter");
    keys = io.FilterAlertDocument().Xml();
  });
  ASSERT_EQ(after_first.size(), 1u);
  EXPECT_EQ(after_first[0].severity, 15);
  const std::string year = std::to_string(platform::Year(platform::Now()));
  EXPECT_EQ(after_first[0].description.rfind("blocked for This Computer\r\nfirst.example (" + year + " ", 0), 0u)
      << after_first[0].description;
  ASSERT_EQ(after_second.size(), 1u);
  EXPECT_EQ(after_second[0].severity, 15);
  EXPECT_EQ(Count(after_second[0].description, "\r\n"), 2u);
  EXPECT_NE(after_second[0].description.find("\r\nsecond.example (" + year + " "), std::string::npos);
  EXPECT_EQ(keys, "<root><CF100This_Computer>1</CF100This_Computer></root>");
  EXPECT_TRUE(LoggedLine("(trace)LogFilterAlert - creating new record"));
  EXPECT_TRUE(LoggedLine("(trace)LogFilterAlert - updating existing record"));
  EXPECT_TRUE(LoggedLine("(trace)updating alert index '1' for key 'CF100This_Computer'"));
}

TEST_F(IoNotifyTest, OneAlertIdForTwoUsersMakesTwoAlerts) {
  std::vector<AlertFields> alerts;
  std::string keys;
  Run([&](cIoNotify& io) {
    settings::GetSystemSettings()->SetValue("legacy.featuremultiuser", platform::Variant("true"));
    settings::GetUserSettings()->SetValue("user.friendlyname", platform::Variant("Ann Lee"));
    Act(io, FilterAlert("CF7", "a"));
    settings::GetUserSettings()->SetValue("user.friendlyname", platform::Variant("Bob <admin>"));
    Act(io, FilterAlert("CF7", "b"));
    Act(io, FilterAlert("CF7", "c"));
    alerts = AlertsOf(io, "WebFilter");
    keys = io.FilterAlertDocument().Xml();
  });
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(Count(alerts[0].description + alerts[1].description, "\r\n"), 3u);
  EXPECT_NE(keys.find("<CF7Ann_Lee>1</CF7Ann_Lee>"), std::string::npos) << keys;
  EXPECT_NE(keys.find(">2</_x-"), std::string::npos) << keys;
}

TEST_F(IoNotifyTest, FilterAlertKeysAreAlwaysElementNames) {
  struct Case {
    const char* alert_id;
    const char* user;
    std::string key;
  } cases[] = {
      {"CF1", "Ann Lee", "CF1Ann_Lee"},
      {"CF1", "", "CF1"},
      {"", "", ""},
      {"1CF", "x", "_x-31434678"},
      {"CF1", "Bob <b>", "_x-434631426f625f3c623e"},
      {"ns:", "x", "_x-6e733a78"},
      {"_x-41", "", "_x-5f782d3431"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.alert_id) + "|" + c.user);
    const std::string key = FilterAlertKey(c.alert_id, c.user);
    EXPECT_EQ(key, c.key);
    if (!key.empty()) {
      EXPECT_TRUE(platform::xml::IsValidXmlName(key));
    }
  }
}

TEST_F(IoNotifyTest, FilterAlertsThatCannotMakeAnAlertCreateNothing) {
  struct Case {
    const char* what;
    std::string message;
  } cases[] = {
      {"zero severity", FilterAlert("CF1", "h", "0")},
      {"severity not a byte", FilterAlert("CF1", "h", "300")},
      {"no description", FilterAlert("CF1", "h", "10", "")},
      {"no alert id", FilterAlert("", "h")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t count = 99;
    Run([&](cIoNotify& io) {
      Act(io, c.message);
      count = AlertsOf(io, "WebFilter").size();
    });
    EXPECT_EQ(count, 0u);
  }
}

TEST_F(IoNotifyTest, TheRuleSpaceFailureIdOnlyLogs) {
  size_t count = 99;
  Run([&](cIoNotify& io) {
    Act(io, FilterAlert("RS999", "h"));
    count = AlertsOf(io, "WebFilter").size();
  }, 0);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(LoggedLine(
      "LogFilterAlert - Alert ID indicates Temporary RuleSpace Content Filter Failure. Notifying System Log"));
}

TEST_F(IoNotifyTest, FilterAlertsAreDroppedUnlessTheBrandAllowsThem) {
  auto branding = std::make_shared<FakeBranding>();
  contracts::ScopedSupportOverride<contracts::BrandingResolver> use_branding(branding);
  for (const char* allowed : {"", "True", "true"}) {
    SCOPED_TRACE(allowed);
    branding->strings["logs/alert/allowed"] = allowed;
    size_t count = 99;
    Run([&](cIoNotify& io) {
      Act(io, FilterAlert("CF5", "h"));
      count = AlertsOf(io, "WebFilter").size();
    });
    EXPECT_EQ(count, std::string(allowed) == "true" ? 1u : 0u);
    EXPECT_EQ(LoggedLine("(trace)Writing as a filter alert"), std::string(allowed) == "true");
  }
}

TEST_F(IoNotifyTest, TheStampFollowsTheClientsFormats) {
  const double when = platform::DateSerial(2024, 3, 9) + platform::TimeSerial(14, 5, 6);
  struct Case {
    std::string date_format, time_format;
    bool use_24_hour;
    std::string stamp;
  } cases[] = {
      {"dd.MM.yyyy", "HH:mm", false, " (09.03.2024 14:05)"},
      {"dd.MM.yyyy", "HH:mm", true, " (09.03.2024 2:05:06 PM)"},
      {"", "", false, " (3/9/2024 2:05:06 PM 3/9/2024 2:05:06 PM)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilterAlertStamp(when, c.date_format, c.time_format, c.use_24_hour), c.stamp);
  }
}

}  // namespace
}  // namespace plugins::ionotify::testing
