#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alerts/mod_alert.h"
#include "io_notify_fixture.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/xml/document.h"
#include "plugins/ionotify/secure_logs.h"
#include "plugins/notify/shared_io_notify.h"
#include "settings/folders/folders.h"
#include "settings/shared/shared_settings.h"
#include "support/securelog/secure_log_file.h"
#include "support/securelog/secure_log_reading.h"

namespace plugins::ionotify::testing {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

platform::xml::Node ParsedEntry(const std::string& entry) {
  platform::xml::Document document;
  EXPECT_TRUE(document.LoadXml(entry)) << entry;
  return document.DocumentElement();
}

TEST_F(IoNotifyTest, AReportEntryWithoutAlertIdAndUrlTakesCf999AndTheHost) {
  std::string entries;
  const double before = platform::Now();
  Run([&](cIoNotify& io) {
    entries = Act(io,
                  "<m><action type='logalert'><entrytype>REPORT</entrytype><host>example.org</host>"
                  "<date>not a date</date></action>"
                  "<action type='logalert'><entrytype>REPORT</entrytype><host>h</host><alertid>CF123</alertid>"
                  "<url>http://u/</url><referer>http://r/</referer><date>3/4/2024 10:30:00</date></action>"
                  "<action type='getsecurelog' logname='report'/></m>");
  });
  std::vector<std::string> lines = Lines(entries);
  ASSERT_EQ(lines.size(), 2u) << entries;
  const std::string prefix = "<entry alertid='CF999' when='";
  ASSERT_EQ(lines[0].rfind(prefix, 0), 0u) << lines[0];
  const std::string when = lines[0].substr(prefix.size(), lines[0].find('\'', prefix.size()) - prefix.size());
  EXPECT_GE(platform::CDbl(platform::Variant(when)), before - 1e-6);
  EXPECT_EQ(lines[0].substr(prefix.size() + when.size()), "' userid='This Computer' referer='' >example.org</entry>");
  const std::string expected_when =
      platform::CStr(platform::Variant(platform::DateSerial(2024, 3, 4) + platform::TimeSerial(10, 30, 0)));
  EXPECT_EQ(lines[1], "<entry alertid='CF123' when='" + expected_when +
                          "' userid='This Computer' referer='http://r/' >http://u/</entry>");
  EXPECT_TRUE(LoggedLine("(trace)Writing as a filter report entry"));
  EXPECT_TRUE(LoggedLine("(trace)Posting to secure log the following entry:"));
  EXPECT_TRUE(LoggedLine("(trace)" + lines[1]));
}

TEST_F(IoNotifyTest, EntryFieldsAreEscapedSoNothingCanBeInjected) {
  std::string entry;
  Run([&](cIoNotify& io) {
    Act(io,
        "<m><action type='logalert'><entrytype>REPORT</entrytype><host>h</host>"
        "<alertid>A&amp;B</alertid><url>http://x/?a=1&amp;b=&lt;script&gt;</url>"
        "<referer>x' alertid='CF000</referer></action></m>");
    entry = Act(io, "<m><action type='getsecurelog' logname='REPORT'/></m>");
  });
  ASSERT_EQ(entry.size() > 2, true);
  entry.resize(entry.size() - 2);
  platform::xml::Node parsed = ParsedEntry(entry);
  EXPECT_EQ(parsed.GetAttribute("alertid"), "A&B");
  EXPECT_EQ(parsed.GetAttribute("referer"), "x' alertid='CF000");
  EXPECT_EQ(parsed.Text(), "http://x/?a=1&b=<script>");
  EXPECT_EQ(parsed.Attributes().size(), 4u);
  EXPECT_NE(entry.find("referer='x&apos; alertid=&apos;CF000' >"), std::string::npos) << entry;
}

TEST_F(IoNotifyTest, SecureLogEntryEscapesEveryField) {
  EXPECT_EQ(SecureLogEntry("a<", "1.5", "Bob \"B\"", "r\n", "u&<>'"),
            "<entry alertid='a&lt;' when='1.5' userid='Bob &quot;B&quot;' referer='r&#10;' >u&amp;&lt;&gt;'</entry>");
  EXPECT_EQ(SecureLogEntry("CF999", "2", "x\x01y", "", "h"),
            "<entry alertid='CF999' when='2' userid='x\xEF\xBF\xBDy' referer='' >h</entry>");
}

TEST_F(IoNotifyTest, GetSecureLogFlagsDefaultToUnreadAndMarkRead) {
  struct Case {
    const char* attributes;
    bool only_unread;
    bool mark_read;
  } cases[] = {
      {"", true, true},
      {" onlyunread='FALSE'", false, true},
      {" markread='false'", true, false},
      {" onlyunread='false' markread='False'", false, false},
      {" onlyunread='no' markread='0'", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    std::string first, second;
    Run([&](cIoNotify& io) {
      Act(io, "<m><action type='clearsecurelog' logname='web'/></m>");
      AppendSecureLogEntry("web", "<e n='1'/>");
      Act(io, "<m><action type='getsecurelog' logname='web'/></m>");
      AppendSecureLogEntry("web", "<e n='2'/>");
      first = Act(io, std::string("<m><action type='getsecurelog' logname='web'") + c.attributes +
                          "/><action type='synctime'/></m>");
      second = Act(io, "<m><action type='getsecurelog' logname='web' markread='false'/></m>");
    });
    EXPECT_EQ(first, c.only_unread ? "<e n='2'/>\r\n" : "<e n='1'/>\r\n<e n='2'/>\r\n");
    EXPECT_EQ(second, c.mark_read ? "" : "<e n='2'/>\r\n");
    EXPECT_TRUE(LoggedLine("Retrieving secure log with id 'web'"));
    EXPECT_EQ(LoggedLine("only unread Securelog Entries will be retrieved"), true);
    EXPECT_TRUE(effects_.empty());  // the message ended at getsecurelog
    effects_.clear();
  }
}

TEST_F(IoNotifyTest, GetSecureLogWithoutANameRepliesEmpty) {
  std::string reply = "unchanged";
  Run([&](cIoNotify& io) { reply = Act(io, "<m><action type='getsecurelog'/><action type='synctime'/></m>"); });
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(LoggedLine("Retrieving secure log with id ''"));
  EXPECT_TRUE(effects_.empty());
}

TEST_F(IoNotifyTest, ClearSecureLogEmptiesTheLog) {
  std::string reply;
  Run([&](cIoNotify& io) {
    AppendSecureLogEntry("Report", "<entry/>");
    Act(io, "<m><action type='clearsecurelog' logname='REPORT'/><action type='clearsecurelog'/></m>");
    reply = Act(io, "<m><action type='getsecurelog' logname='report' onlyunread='false'/></m>");
  });
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(LoggedLine("(trace)clearing secure log 'REPORT'"));
  EXPECT_EQ(CountLogged("Clearing secure log with name 'REPORT'"), 1);
}

TEST_F(IoNotifyTest, SyncSecureLogsSyncsEveryOpenLog) {
  Run([&](cIoNotify&) {
    AppendSecureLogEntry("one", "a");
    AppendSecureLogEntry("two", "b");
    plugins::SyncSecureLogs();
  });
  const std::string folder = support::SecureLogFolder(ProfileFolder());
  for (const char* name : {"one", "two"}) {
    std::string state = testing_support::ReadFileBytes(folder + "/" + name + ".state");
    EXPECT_NE(state.find("synced 1\n"), std::string::npos) << name << ": " << state;
    EXPECT_TRUE(support::InspectSecureLog(folder, name).problems.empty());
  }
}

TEST_F(IoNotifyTest, AnUnknownLogAlertTypeIsLoggedWhateverTheTraceLevel) {
  Run([&](cIoNotify& io) {
    Act(io, "<m><action type='logalert'><entrytype>report</entrytype></action><action type='synctime'/></m>");
  }, 0);
  EXPECT_TRUE(LoggedLine(
      "Invalid LOG ALERT type received: '<action type=\"logalert\"><entrytype>report</entrytype></action>'"));
  EXPECT_EQ(effects_, std::vector<std::string>{"synctime"});
}

TEST_F(IoNotifyTest, AFirewallAlertCarriesTheFirewallMode) {
  struct Case {
    const char* store;
    std::string action_ids;
  } cases[] = {
      {"Firewall", "act\x01" "FirewallMode=strict"},
      {"FIREWALL", "act\x01" "FirewallMode=strict"},
      {"Intrusion", "act"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.store);
    std::string stored, caller_ids;
    Run([&](cIoNotify& io) {
      settings::GetSystemSettings()->SetValue("fw.ui.modepreset", platform::Variant("strict"));
      std::vector<platform::Variant> args{platform::Variant(c.store), platform::Variant(uint8_t{10}),
                                          platform::Variant("s"),     platform::Variant("d"),
                                          platform::Variant("FW1"),   platform::Variant("act"),
                                          platform::Variant(false),   platform::Variant(0)};
      EXPECT_TRUE(platform::CBool(io.Invoke("IoPostAlert", args)));
      caller_ids = platform::CStr(args[5]);
      uint8_t severity = 0;
      std::string summary, description, alert_id, tag;
      bool user_proc = false, sys_proc = false;
      platform::Variant when;
      ASSERT_TRUE(alerts::GetAlert(platform::CLng(args[7]), severity, summary, description, alert_id, stored,
                                   user_proc, when, sys_proc, tag));
    });
    EXPECT_EQ(stored, c.action_ids);
    EXPECT_EQ(caller_ids, "act");
  }
}

TEST_F(IoNotifyTest, AlertPostPostsAHiddenAlertOfSeventy) {
  int32_t count = 0;
  uint8_t severity = 0;
  std::string summary, description, alert_id, action_ids, tag;
  Run([&](cIoNotify& io) {
    Act(io, "<m><action type='alertpost' storename='Privacy' Summary='sum' description='desc'/></m>");
    platform::Variant indices;
    count = io.IoGetAlertIndicesAll("Privacy", indices);
    ASSERT_EQ(count, 1);
    bool user_proc = false, sys_proc = false;
    platform::Variant when;
    alerts::GetAlert(platform::CLng(indices.Element(1)), severity, summary, description, alert_id, action_ids,
                     user_proc, when, sys_proc, tag);
  });
  EXPECT_EQ(severity, 70);
  EXPECT_EQ(summary, "sum");
  EXPECT_EQ(description, "desc");
  EXPECT_EQ(alert_id, "ASD002");
  EXPECT_EQ(action_ids, "");
}

TEST_F(IoNotifyTest, ASecureLogThatCannotBeOpenedStopsNothing) {
  contracts::ScopedSupportOverride<contracts::SecureLog> failing(
      contracts::SupportFactory<contracts::SecureLog>([] { return nullptr; }));
  std::string reply = "unchanged";
  Run([&](cIoNotify& io) {
    Act(io, "<m><action type='logalert'><entrytype>REPORT</entrytype><host>h</host></action>"
            "<action type='clearsecurelog' logname='x'/><action type='synctime'/></m>");
    reply = Act(io, "<m><action type='getsecurelog' logname='x'/></m>");
  });
  EXPECT_EQ(effects_, std::vector<std::string>{"synctime"});
  EXPECT_EQ(reply, "");
}

TEST_F(IoNotifyTest, TheUserIdComesFromTheCurrentUserInMultiUserMode) {
  struct Case {
    const char* multi_user;
    const char* friendly_name;
    std::string expected;
  } cases[] = {
      {"false", "Alice", "This Computer"},
      {"true", "Alice", "Alice"},
      {"true", "", "An unknown user"},
      {"true", "A", "This Computer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.friendly_name);
    std::string user;
    Run([&](cIoNotify& io) {
      settings::GetSystemSettings()->SetValue("legacy.featuremultiuser", platform::Variant(c.multi_user));
      settings::GetUserSettings()->SetValue("user.friendlyname", platform::Variant(c.friendly_name));
      user = io.GetAlertUserID();
    });
    EXPECT_EQ(user, c.expected);
    EXPECT_TRUE(LoggedLine("(trace)GetAlertUserID is returning '" + c.expected + "'"));
  }
}

}  // namespace
}  // namespace plugins::ionotify::testing
