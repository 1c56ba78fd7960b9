#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io_notify_fixture.h"
#include "platform/basic/conversions.h"
#include "plugins/ionotify/plugin_hosts.h"
#include "settings/shared/shared_settings.h"

namespace plugins::ionotify::testing {
namespace {

std::string Setting(const settings::SettingsPtr& collection, const std::string& name) {
  return collection ? platform::CStr(collection->GetValue(name)) : "<none>";
}

// Puts a fake host in for the scheduler plug-in while it lives.
class ScopedScheduler {
 public:
  ScopedScheduler() {
    previous_ = SetPluginHostLookup([this](std::string_view progid) -> platform::com::ObjectPtr {
      return progid == "NorvSched201.cServicePlugin" || progid == "NorvTimeBudget.cPluginHelper" ? host : nullptr;
    });
  }
  ~ScopedScheduler() { SetPluginHostLookup(std::move(previous_)); }
  std::shared_ptr<FakePluginHost> host = std::make_shared<FakePluginHost>();

 private:
  PluginHostLookup previous_;
};

TEST_F(IoNotifyTest, TimeFormatsThenScheduleEventRepliesWithTheSchedulerAnswer) {
  ScopedScheduler scheduler;
  scheduler.host->answer = "<event next='tomorrow'/>";
  std::string reply, date_format, time_format;
  bool use_24_hour = false;
  Run([&](cIoNotify& io) {
    reply = Act(io,
                "<m><action type='settimeformats' currDteFormat='yyyy-MM-dd' currTmeFormat='HH:mm' HrFormat='True'/>"
                "<action type='getscheduleevent'><when day='1'/></action>"
                "<action type='settings'><setting id='global.after'>1</setting></action></m>");
    date_format = io.DateFormat();
    time_format = io.TimeFormat();
    use_24_hour = io.Use24Hour();
    EXPECT_EQ(Setting(settings::GetSystemSettings(), "after"), "");
  });
  EXPECT_EQ(reply, "<event next='tomorrow'/>");
  EXPECT_EQ(date_format, "yyyy-MM-dd");
  EXPECT_EQ(time_format, "HH:mm");
  EXPECT_TRUE(use_24_hour);
  ASSERT_EQ(scheduler.host->calls.size(), 1u);
  EXPECT_EQ(scheduler.host->calls[0].name, "GetScheduleEvent");
  EXPECT_EQ(platform::CStr(scheduler.host->calls[0].param1), "<when day=\"1\"/>");
  EXPECT_TRUE(application_->settings_changed.empty());
}

TEST_F(IoNotifyTest, TheOtherScheduledCallsReachTheirPlugins) {
  ScopedScheduler scheduler;
  Run([&](cIoNotify& io) {
    Act(io, "<m><action type='updateschedule'><s a='b'/></action><action type='updatetimebudgetsettings'/></m>");
  });
  ASSERT_EQ(scheduler.host->calls.size(), 2u);
  EXPECT_EQ(scheduler.host->calls[0].name, "UpdateSchedule");
  EXPECT_EQ(platform::CStr(scheduler.host->calls[0].param1), "<s a=\"b\"/>");
  EXPECT_TRUE(scheduler.host->calls[0].param2.IsNothing());
  EXPECT_EQ(scheduler.host->calls[1].name, "UpdateSettings");
  EXPECT_TRUE(scheduler.host->calls[1].param1.IsNothing());
}

TEST_F(IoNotifyTest, WithoutTheSchedulerTheScheduleEventReplyIsEmptyAndEndsTheMessage) {
  std::string reply = "unchanged";
  Run([&](cIoNotify& io) {
    reply = Act(io, "<m><action type='getscheduleevent'><x/></action><action type='synctime'/></m>");
  });
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(effects_.empty());
}

TEST_F(IoNotifyTest, ActionsNotInTheTableOnlyTraceAndTheOthersStillRun) {
  const char* kMessages[] = {
      "<m><action type='synctime'/><action type='Settings'><setting id='x'>1</setting></action>"
      "<action type='clearaslog'/></m>",
      "<m><action type='synctime'/><action><setting id='x'>1</setting></action><action type='clearaslog'/></m>",
      "<m><action type='synctime'/><action type=''/><action type='clearaslog'/></m>",
      "<m><action type='synctime'/><action type='no such action'/><action type='clearaslog'/></m>",
  };
  for (const char* message : kMessages) {
    SCOPED_TRACE(message);
    effects_.clear();
    std::string reply;
    Run([&](cIoNotify& io) { reply = Act(io, message); });
    EXPECT_EQ(effects_, (std::vector<std::string>{"synctime", "clearas"}));
    EXPECT_EQ(CountLogged("(trace)DoXMLAction - Invalid or missing action in '" + std::string(message) + "'"), 1);
    EXPECT_TRUE(application_->settings_changed.empty());
    // The reply is the message as the document writes it.
    EXPECT_EQ(reply.rfind("<m><action type=\"synctime\"/>", 0), 0u) << reply;
  }
}

TEST_F(IoNotifyTest, AMessageThatIsNotXmlGivesAnEmptyReply) {
  const std::string message = "<m><action type='synctime'>";
  std::string reply = "unchanged";
  Run([&](cIoNotify& io) { reply = Act(io, message); });
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(LoggedLine("(trace)DoXMLAction - Invalid or missing xml in '" + message + "'"));
  EXPECT_TRUE(effects_.empty());
}

TEST_F(IoNotifyTest, TraceLinesNeedTraceLevelFour) {
  for (int level : {3, 4}) {
    Run([&](cIoNotify& io) { Act(io, "<m><action type='logsession'/></m>"); }, level);
    EXPECT_EQ(LoggedLine("(trace)DoXMLAction - Executing action 'logsession'"), level >= 4);
    EXPECT_EQ(LoggedLine("(trace)In cIoNotify.Terminate"), level >= 4);
  }
}

TEST_F(IoNotifyTest, SettingsNotifyOnceUnlessEverySettingIsSilent) {
  struct Case {
    const char* settings;
    size_t notifications;
  } cases[] = {
      {"<setting id='a' silent='true'>1</setting>", 0},
      {"<setting id='a' silent='true'>1</setting><setting id='b'>2</setting>", 1},
      {"<setting id='a'>1</setting><setting id='b' silent='TRUE'>2</setting><setting id='c'>3</setting>", 1},
      {"<setting>1</setting>", 0},
      {"<setting id=''>1</setting><other id='x'>2</other>", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    application_->settings_changed.clear();
    Run([&](cIoNotify& io) { Act(io, std::string("<m><action type='settings'>") + c.settings + "</action></m>"); });
    EXPECT_EQ(application_->settings_changed.size(), c.notifications);
    if (c.notifications > 0) {
      EXPECT_TRUE(application_->settings_changed[0]);
      EXPECT_EQ(CountLogged("(trace)triggering settingschanged event"), 1);
    }
  }
}

TEST_F(IoNotifyTest, GlobalSettingsGoToTheSystemAndEverythingElseToTheUser) {
  std::string system_value, user_value, user_full, system_full;
  Run([&](cIoNotify& io) {
    Act(io,
        "<m><action type='settings'><setting id='global. fw.level '>high</setting>"
        "<setting id='Global.ui.color'>blue</setting></action></m>");
    system_value = Setting(settings::GetSystemSettings(), "fw.level");
    system_full = Setting(settings::GetSystemSettings(), "global.fw.level");
    user_value = Setting(settings::GetUserSettings(), "Global.ui.color");
    user_full = Setting(settings::GetSystemSettings(), "ui.color");
  });
  EXPECT_EQ(system_value, "high");
  EXPECT_EQ(system_full, "");
  EXPECT_EQ(user_value, "blue");
  EXPECT_EQ(user_full, "");
  EXPECT_TRUE(LoggedLine("(trace)setting global setting 'fw.level' to value 'high'"));
  EXPECT_TRUE(LoggedLine("(trace)setting user setting 'Global.ui.color' to value 'blue'"));
}

TEST_F(IoNotifyTest, EachSettingGetsItsWholeTextInOrderAndARefusedOneStopsNothing) {
  std::vector<std::string> values;
  Run([&](cIoNotify& io) {
    Act(io,
        "<m><action type='settings'>"
        "<setting id='global.a.long'>a value well past the short-text size</setting>"
        "<setting id='global.bad name'>x</setting>"
        "<setting id='global.a.mixed'>one<![CDATA[<two>]]><i>three</i>&amp;</setting>"
        "<setting id='global.a.empty'/>"
        "<setting id='u.first'>1</setting><setting id='u.first'>2</setting>"
        "</action></m>");
    for (const char* name : {"a.long", "a.mixed", "a.empty", "bad name"}) {
      values.push_back(Setting(settings::GetSystemSettings(), name));
    }
    values.push_back(Setting(settings::GetUserSettings(), "u.first"));
  });
  EXPECT_EQ(values, (std::vector<std::string>{"a value well past the short-text size", "one<two>three&", "", "", "2"}));
  EXPECT_EQ(CountLogged("(trace)setting user setting 'u.first' to value '1'"), 1);
  EXPECT_EQ(CountLogged("(trace)setting user setting 'u.first' to value '2'"), 1);
  bool refused_logged = false;
  for (const std::string& line : Logged()) {
    refused_logged = refused_logged || line.find("DoXMLAction - setting 'global.bad name' refused: ") != std::string::npos;
  }
  EXPECT_TRUE(refused_logged);
  EXPECT_EQ(application_->settings_changed.size(), 1u);
}

TEST_F(IoNotifyTest, EachMaintenanceActionHasItsEffect) {
  struct Case {
    const char* action;
    std::vector<std::string> effects;
  } cases[] = {
      {"<action type='syncusers' adminusersid='S-1-5-21-1'/>", {"syncusers:S-1-5-21-1"}},
      {"<action type='dumpimdblogs'/>", {"dump"}},
      {"<action type='synctime'/>", {"synctime"}},
      {"<action type='clearavlog'/>", {"clearav"}},
      {"<action type='clearkavlog'/>", {"clearav"}},
      {"<action type='clearaslog'/>", {"clearas"}},
      {"<action type='clearfwlog'/>", {"clearfw"}},
      {"<action type='resetbranding'/>", {"resetbranding", "uninstallentry"}},
      {"<action type='logsession'/>", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    effects_.clear();
    Run([&](cIoNotify& io) { Act(io, std::string("<m>") + c.action + "</m>"); });
    EXPECT_EQ(effects_, c.effects);
  }
}

TEST_F(IoNotifyTest, RunProgramExpandsTheBrandingAndUsesTheShell) {
  Run([&](cIoNotify& io) {
    Act(io,
        "<m><action type='runprogram'><commandline>run %%PRODUCTNAMESHORT now</commandline></action>"
        "<action type='runprogram'><commandline></commandline></action></m>");
  });
  ASSERT_EQ(effects_.size(), 1u);
  EXPECT_EQ(effects_[0].rfind("shell:run ", 0), 0u);
  EXPECT_EQ(effects_[0].find("%%"), std::string::npos) << effects_[0];
  EXPECT_TRUE(LoggedLine("(trace)shelling to command line: " + effects_[0].substr(6)));
  EXPECT_EQ(CountLogged("(trace)shell command completed with error ''"), 2);
}

TEST_F(IoNotifyTest, LaunchProcessUsesTheLauncherAndAFailureStopsNothing) {
  launcher_->fail = true;
  Run([&](cIoNotify& io) {
    Act(io,
        "<m><action type='launchprocess'><commandline>/usr/bin/prog %%NOEXPANSION</commandline></action>"
        "<action type='launchprocess'/><action type='synctime'/></m>");
  });
  EXPECT_EQ(launcher_->launched, std::vector<std::string>{"/usr/bin/prog %%NOEXPANSION"});
  EXPECT_TRUE(LoggedLine("(trace)Launch process: /usr/bin/prog %%NOEXPANSION"));
  EXPECT_TRUE(LoggedLine("(trace)Launch process /usr/bin/prog %%NOEXPANSION completed"));
  EXPECT_TRUE(LoggedLine("(trace)Launch process  completed"));
  EXPECT_EQ(effects_, std::vector<std::string>{"synctime"});
}

TEST_F(IoNotifyTest, TheReplyIsTheDocumentAfterTheActions) {
  std::string reply;
  Run([&](cIoNotify& io) { reply = Act(io, "<msg a='1'><action type='logsession'/><other>t</other></msg>"); });
  EXPECT_EQ(reply, "<msg a=\"1\"><action type=\"logsession\"/><other>t</other></msg>");
}

TEST_F(IoNotifyTest, ReportLogNamedXmlActionRunsTheMessage) {
  std::string system_value, privacy;
  Run([&](cIoNotify& io) {
    io.IoWriteReportLog("XMLACTION", 1, "<m><action type='settings'><setting id='global.z'>9</setting></action></m>");
    system_value = Setting(settings::GetSystemSettings(), "z");
    io.IoWriteXMLAction("<m><action type='synctime'/></m>");
    privacy = io.IoGetPrivacyReport();
  });
  EXPECT_EQ(system_value, "9");
  EXPECT_EQ(privacy, "");
  EXPECT_EQ(effects_, std::vector<std::string>{"synctime"});
  EXPECT_TRUE(LoggedLine("IoWriteXMLAction - received \r\n<m><action type='synctime'/></m>"));
}

TEST_F(IoNotifyTest, LateBoundCallsReachTheMembers) {
  std::string reply;
  platform::Variant shared_xml, plugin_ok, plugin_bad;
  Run([&](cIoNotify& io) {
    std::vector<platform::Variant> args{platform::Variant("<m><action type='getsecurelog'/></m>")};
    io.Invoke("DoXMLAction", args);
    reply = platform::CStr(args[0]);
    platform::com::ObjectPtr shared = platform::com::ObjectOf(io.Invoke("ThreadSafeSharedData"));
    platform::com::CallByName(shared, "setAttribute", {platform::Variant("k"), platform::Variant("v")});
    shared_xml = platform::com::CallByName(io.ThreadSafeSharedData(), "xml");
    plugin_ok = io.Invoke("GetFeaturePluginStatus", {platform::Variant("Good.Plugin"), platform::Variant("")});
    plugin_bad = io.Invoke("GetFeaturePluginStatus", {platform::Variant("Other"), platform::Variant("")});
    // A conversion that fails is contained: the member answers its failure value.
    EXPECT_FALSE(platform::CBool(io.Invoke("IoUpdateAlert", {platform::Variant("x"), platform::Variant(1),
                                                             platform::Variant(""), platform::Variant(false)})));
    EXPECT_EQ(io.GetIdOfName("DoXMLAction"), 14);
    EXPECT_EQ(io.GetIdOfName("IoGetPrivacyReport"), 32);
    EXPECT_NE(io.GetDnsResolver(), nullptr);
    EXPECT_EQ(io.GetDnsResolver(), io.GetDnsResolver());
    EXPECT_NE(io.GetFileManager(), nullptr);
    EXPECT_EQ(io.GetFileManager(), io.GetFileManager());
  });
  EXPECT_EQ(reply, "");
  EXPECT_EQ(platform::CStr(shared_xml), "<root k=\"v\"/>");
  EXPECT_TRUE(platform::CBool(plugin_ok));
  EXPECT_FALSE(platform::CBool(plugin_bad));
}

}  // namespace
}  // namespace plugins::ionotify::testing
