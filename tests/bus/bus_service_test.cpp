// hearthd on a private bus, driven by busctl and gdbus.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "private_bus.h"
#include "support/sock/testing/loopback_dns_responder.h"
#include "testing/temp_root.h"

namespace bus_test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr char kApp[] = "/com/norvale/Hearth/Application";
constexpr char kAppIface[] = "com.norvale.Hearth.Application";

class BusServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { bus_.StartService(); }
  PrivateBus bus_;
};

TEST_F(BusServiceTest, IntrospectionMatchesTheCommittedXml) {
  const std::vector<std::pair<std::string, std::string>> objects = {
      {kApp, "com.norvale.Hearth.Application.xml"},
      {"/com/norvale/Hearth/Settings/System", "com.norvale.Hearth.cSettings.xml"},
      {"/com/norvale/Hearth/Settings/User", "com.norvale.Hearth.cSettings.xml"},
      {"/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify.xml"},
      {"/com/norvale/Hearth/DnsResolver", "com.norvale.Hearth.cDnsResolver.xml"},
      {"/com/norvale/Hearth/FileMgr", "com.norvale.Hearth.cFileMgr.xml"},
  };
  for (const auto& [path, file] : objects) {
    SCOPED_TRACE(path);
    Finished f = bus_.Run({"busctl", "--system", "introspect", "--xml-interface", "com.norvale.Hearth", path});
    ASSERT_EQ(f.exit_code, 0) << f.err;
    EXPECT_EQ(f.out, testing_support::ReadFileBytes(SourcePath("config/dbus/interfaces/" + file)));
  }
}

TEST_F(BusServiceTest, SetValueThenGetValueRoundTripsEveryKind) {
  struct Case {
    std::vector<std::string> value;  // busctl's words for the variant
    std::string answer;              // GetValue's answer as busctl prints it
  };
  const std::vector<Case> cases = {
      {{"s", "hello world"}, "v s \"hello world\""},
      {{"i", "-70000"}, "v i -70000"},
      {{"n", "-7"}, "v n -7"},
      {{"b", "true"}, "v b true"},
      {{"b", "false"}, "v b false"},
      {{"d", "1.25"}, "v d 1.25"},
      {{"(sv)", "Date", "d", "45000.5"}, "v (sv) \"Date\" d 45000.5"},
      {{"ay", "3", "0", "255", "7"}, "v ay 3 0 255 7"},
      {{"ay", "0"}, "v ay 0"},
      {{"(sv)", "Empty", "s", ""}, "v (sv) \"Empty\" s \"\""},
      {{"(sv)", "Null", "s", ""}, "v (sv) \"Null\" s \"\""},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "test.kind" + std::to_string(++n);
    SCOPED_TRACE(name);
    std::vector<std::string> args{"sv", name};
    args.insert(args.end(), c.value.begin(), c.value.end());
    Finished set = bus_.Settings("SetValue", args);
    ASSERT_EQ(set.exit_code, 0) << set.err;
    Finished get = bus_.Settings("GetValue", {"s", name});
    ASSERT_EQ(get.exit_code, 0) << get.err;
    EXPECT_EQ(get.out, c.answer + "\n");
  }
  // A missing name reads as the empty text, as in-process.
  EXPECT_EQ(bus_.Settings("GetValue", {"s", "test.none"}).out, "v s \"\"\n");
}

TEST_F(BusServiceTest, ValuesNoStoreCouldHoldAreRefusedAndTheCollectionStaysStorable) {
  // One such setting would make every later store of the collection fail,
  // the one at stop included. Every road in refuses it, with the reason.
  constexpr char kUser[] = "/com/norvale/Hearth/Settings/User";
  constexpr char kSettingsIface[] = "com.norvale.Hearth.cSettings";
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  // Arrays of variants, each holding the next, deeper than the reader goes.
  std::vector<std::string> deep{"sv", "test.deep"};
  for (int i = 0; i < 20; ++i) deep.insert(deep.end(), {"av", "1"});
  deep.insert(deep.end(), {"s", "deep"});
  const std::vector<Case> refused = {
      {{"sv", "test.error", "(sv)", "Error", "i", "5"}, "a setting cannot hold a value of type Error"},
      {{"sv", "test.list", "av", "1", "s", "a"}, "a setting cannot hold a value of type"},
      {{"sv", "test.self", "o", "/com/norvale/Hearth/Settings/System"}, "a setting cannot hold a value of type"},
      {{"sv", "test.a b", "s", "x"}, "\"test.a b\" cannot be a setting name (it is not a valid XML name)"},
      {{"sv", "1abc", "s", "x"}, "is not a valid XML name"},
      {{"sv", "test.late", "(sv)", "Date", "d", "3e6"}, "a Date setting must lie between 1 January 100 and 31 December 9999"},
      {{"sv", "test.early", "(sv)", "Date", "d", "-7e5"}, "a Date setting must lie between"},
      {{"sv", "test.nan", "(sv)", "Date", "d", "nan"}, "a Date setting must lie between"},
      {{"sv", "test.single", "(sv)", "Single", "d", "1e300"}, "the Single 1E+300 is out of range (Overflow)"},
      {deep, "a value nested too deep"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.args[1]);
    Finished f = bus_.Settings("SetValue", c.args);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_NE(f.err.find(c.reason), std::string::npos) << f.err << f.out;
    EXPECT_EQ(bus_.Settings("Exists", {"s", c.args[1]}).out, "b false\n");
  }
  // A namespace no name could start with.
  Finished space = bus_.Call(kUser, kSettingsIface, "SetNamespace", {"s", "a b"});
  EXPECT_NE(space.exit_code, 0);
  EXPECT_NE(space.err.find("\"a b.\" cannot be a namespace"), std::string::npos) << space.err;
  EXPECT_EQ(bus_.Call(kUser, kSettingsIface, "Namespace").out, "s \"\"\n");

  // The "settings" action writes only what a store can hold, logs the rest
  // with the reason, and writes the good ones beside them.
  const std::string message =
      "<m><action type='settings'><setting id='global.a b'>1</setting><setting id='global.1abc'>1</setting>"
      "<setting id='user a'>1</setting><setting id='global.test.action'>done</setting>"
      "<setting id='test.mine'>yes</setting></action></m>";
  ASSERT_EQ(bus_.Call("/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify", "DoXMLAction", {"s", message})
                .exit_code,
            0);
  const std::string log = testing_support::ReadFileBytes(bus_.SystemLog());
  for (const char* line : {"DoXMLAction - setting 'global.a b' refused: \"a b\" cannot be a setting name (it is not a "
                           "valid XML name)",
                           "DoXMLAction - setting 'global.1abc' refused: \"1abc\" cannot be a setting name",
                           "DoXMLAction - setting 'user a' refused: \"user a\" cannot be a setting name"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(bus_.Call(kUser, kSettingsIface, "GetValue", {"s", "test.mine"}).out, "v s \"yes\"\n");

  ASSERT_EQ(bus_.Settings("SetValue", {"sv", "test.good", "s", "kept"}).exit_code, 0);
  ASSERT_EQ(bus_.Call(kApp, kAppIface, "SettingsChanged", {"b", "true"}).exit_code, 0);
  bus_.StopService();
  // Stored at stop and read back from the file.
  for (const auto& [name, text] : {std::pair{"test.good", "kept\n"}, std::pair{"test.action", "done\n"}}) {
    Finished stored =
        bus_.Run({ProgramPath("hearthctl"), "--root", bus_.root().string(), "settings", "get", name});
    EXPECT_EQ(stored.exit_code, 0) << stored.err;
    EXPECT_EQ(stored.out, text);
  }
  // No store failed on the way.
  const std::string after = testing_support::ReadFileBytes(bus_.SystemLog());
  EXPECT_EQ(after.find("Invalid PropertyValue"), std::string::npos) << after;
  EXPECT_EQ(after.find("Invalid XML name"), std::string::npos) << after;
}

TEST_F(BusServiceTest, TextThatIsNotUtf8TravelsAsItsBytes) {
  // Raw bytes in a text (a byte array read back from a file is one), with a
  // NUL among them: every byte goes in, is stored, and comes back.
  ASSERT_EQ(bus_.Settings("SetValue", {"sv", "test.raw", "(sv)", "String", "ay", "4", "255", "65", "0", "66"}).exit_code,
            0);
  EXPECT_EQ(bus_.Settings("GetValue", {"s", "test.raw"}).out, "v (sv) \"String\" ay 4 255 65 0 66\n");
  ASSERT_EQ(bus_.Call(kApp, kAppIface, "SettingsChanged", {"b", "true"}).exit_code, 0);
  ASSERT_EQ(bus_.Call(kApp, kAppIface, "RefreshSystemSettings").exit_code, 0);
  EXPECT_EQ(bus_.Settings("GetValue", {"s", "test.raw"}).out, "v (sv) \"String\" ay 4 255 65 0 66\n");
}

TEST_F(BusServiceTest, TheUserCollectionIsItsOwnObject) {
  ASSERT_EQ(bus_.Call("/com/norvale/Hearth/Settings/User", "com.norvale.Hearth.cSettings", "SetValue",
                      {"sv", "user.colour", "s", "green"})
                .exit_code,
            0);
  EXPECT_EQ(bus_.Call("/com/norvale/Hearth/Settings/User", "com.norvale.Hearth.cSettings", "GetValue",
                      {"s", "user.colour"})
                .out,
            "v s \"green\"\n");
  EXPECT_EQ(bus_.Settings("Exists", {"s", "user.colour"}).out, "b false\n");
  EXPECT_EQ(bus_.Call(kApp, kAppIface, "UserSettings").out, "o \"/com/norvale/Hearth/Settings/User\"\n");
  EXPECT_EQ(bus_.Call(kApp, kAppIface, "SystemSettings").out, "o \"/com/norvale/Hearth/Settings/System\"\n");
}

TEST_F(BusServiceTest, ByReferenceArgumentsComeBackAsAnswers) {
  EXPECT_EQ(bus_.Settings("DoSync", {"s", "because"}).out, "vs (sv) \"Empty\" s \"\" \"because\"\n");
  EXPECT_EQ(bus_.Call(kApp, kAppIface, "GetFSO", {"s", ""}).out, "io 0 \"/\"\n");
}

TEST_F(BusServiceTest, TheStoresThatHoldAlertsAreListedOnceEach) {
  const std::string io = "/com/norvale/Hearth/IoNotify", iface = "com.norvale.Hearth.cIoNotify";
  EXPECT_EQ(bus_.Call(io, iface, "IoGetAlertStores").out, "ias 0 0\n");
  for (const char* store : {"Wavelock", "Firewall", "Wavelock"}) {
    Finished posted = bus_.Call(io, iface, "IoPostAlert",
                                {"syssssbibvs", store, "10", "summary", "description", "ID1", "", "false", "0",
                                 "false", "(sv)", "Date", "d", "29221", ""});
    ASSERT_EQ(posted.exit_code, 0) << posted.err;
  }
  EXPECT_EQ(bus_.Call(io, iface, "IoGetAlertStores").out, "ias 2 2 \"Firewall\" \"Wavelock\"\n");
}

TEST_F(BusServiceTest, ASettingsChangeRaisesTheSignalsAMonitorSeesInOrder) {
  auto monitor = bus_.StartMonitor();
  ASSERT_EQ(bus_.Settings("SetValue", {"sv", "sys.first", "s", "one"}).exit_code, 0);
  ASSERT_EQ(bus_.Settings("SetValue", {"sv", "sys.first", "s", "one"}).exit_code, 0);  // unchanged: no signal
  ASSERT_EQ(bus_.Settings("SetValue", {"sv", "sys.second", "i", "2"}).exit_code, 0);
  ASSERT_EQ(bus_.Settings("RemoveValue", {"s", "sys.first"}).exit_code, 0);
  ASSERT_EQ(bus_.Call(kApp, kAppIface, "SettingsChanged", {"b", "false"}).exit_code, 0);
  // The last signal has been sent before SettingsChanged answered; give the
  // monitor a moment to print it (the user collection's comes last).
  const std::string seen = bus_.WaitForOutput("monitor", "OnUserSettingsChange");
  monitor->Signal(SIGTERM);
  monitor->Wait();
  std::vector<std::string> lines;
  std::istringstream in(seen);
  // What the service's own start may still be announcing when the monitor
  // begins is not this test's business: count from the first change made here.
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("/com/norvale/Hearth/", 0) != 0) continue;
    if (lines.empty() && line.find("'sys.first'") == std::string::npos) continue;
    lines.push_back(line);
  }
  const std::vector<std::string> expected = {
      "/com/norvale/Hearth/Settings/System: com.norvale.Hearth.cSettings.SettingChanged ('sys.first', <'one'>)",
      "/com/norvale/Hearth/Settings/System: com.norvale.Hearth.cSettings.SettingChanged ('sys.second', <2>)",
      "/com/norvale/Hearth/Settings/System: com.norvale.Hearth.cSettings.SettingRemoved ('sys.first', <'one'>)",
      "/com/norvale/Hearth/Application: com.norvale.Hearth.Application.OnSettingsChange ()",
      // The guest profile made at the first start is stored and so dirty.
      "/com/norvale/Hearth/Application: com.norvale.Hearth.Application.OnUserSettingsChange ()",
  };
  EXPECT_EQ(lines, expected) << seen;
}

TEST_F(BusServiceTest, BadCallsGetTheBusErrorAndTheServiceAnswersOn) {
  struct Case {
    std::string member;
    std::vector<std::string> args;
    std::string error;  // part of busctl's message
  };
  const std::vector<Case> cases = {
      {"SetValue", {"s", "sys.x"}, "expecting 'sv'"},
      {"GetValue", {"i", "5"}, "expecting 's'"},
      {"GetValue", {"ss", "a", "b"}, "expecting 's'"},
      {"NoSuchMember", {}, "Unknown method"},
      {"SetValue", {"sv", "sys.x", "u", "5"}, "D-Bus type 'u' cannot be held"},
      {"SetValue", {"sv", "sys.x", "a{sv}", "0"}, "D-Bus type 'a{sv}' cannot be held"},
      {"SetValue", {"sv", "sys.x", "(sv)", "Tuesday", "s", ""}, "unknown tagged value"},
      {"SetValue", {"sv", "sys.x", "(sv)", "Date", "s", "today"}, "carries D-Bus type 's'"},
      {"GetValueL", {"s", "sys.text"}, "Type mismatch (13)"},
  };
  ASSERT_EQ(bus_.Settings("SetValue", {"sv", "sys.text", "s", "words"}).exit_code, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    Finished f = bus_.Settings(c.member, c.args);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_NE(f.err.find(c.error), std::string::npos) << f.err;
  }
  // An empty name in a collection without a namespace is no element name
  // (storing it would fail every later store); a long one is a name.
  const std::string long_name(10000, 'n');
  Finished empty = bus_.Settings("SetValue", {"sv", "", "s", "empty name"});
  EXPECT_NE(empty.exit_code, 0);
  EXPECT_NE(empty.err.find("is not a valid XML name"), std::string::npos) << empty.err;
  EXPECT_EQ(bus_.Settings("GetValue", {"s", ""}).out, "v s \"\"\n");
  EXPECT_EQ(bus_.Settings("SetValue", {"sv", long_name, "s", "long name"}).exit_code, 0);
  EXPECT_EQ(bus_.Settings("GetValue", {"s", long_name}).out, "v s \"long name\"\n");
  // Clients that leave without waiting for their answers.
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(bus_.Run({"busctl", "--system", "call", "--expect-reply=no", "com.norvale.Hearth",
                        "/com/norvale/Hearth/Settings/System", "com.norvale.Hearth.cSettings", "GetValue", "s",
                        "sys.text"})
                  .exit_code,
              0);
  }
  EXPECT_EQ(bus_.Settings("GetValue", {"s", "sys.text"}).out, "v s \"words\"\n");
  EXPECT_TRUE(bus_.service()->Running());
}

TEST_F(BusServiceTest, TheResolverAnswersOnTheBus) {
  // A dotted address is its own answer, at once; the signal follows.
  EXPECT_EQ(bus_.Call("/com/norvale/Hearth/DnsResolver", "com.norvale.Hearth.cDnsResolver", "ResolveHostname",
                      {"s", "10.1.2.3"})
                .out,
            "bs true \"10.1.2.3\"\n");
  EXPECT_EQ(bus_.Call("/com/norvale/Hearth/DnsResolver", "com.norvale.Hearth.cDnsResolver", "GetAddress",
                      {"s", "10.9.8.7"})
                .out,
            "s \"10.9.8.7\"\n");
  // The Application names the resolver of its cIoNotify.
  EXPECT_EQ(bus_.Call(kApp, kAppIface, "DnsResolver").out, "o \"/com/norvale/Hearth/DnsResolver\"\n");
}

TEST_F(BusServiceTest, AnXmlActionSentWithBusctlReturnsItsReply) {
  const std::string message =
      "<m><action type='settimeformats' currDteFormat='dd.MM.yyyy' currTmeFormat='HH:mm' HrFormat='true'/></m>";
  Finished f = bus_.Call("/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify", "DoXMLAction", {"s", message});
  ASSERT_EQ(f.exit_code, 0) << f.err;
  // The reply is the message as the document holds it after its actions ran.
  EXPECT_EQ(f.out,
            "s \"<m><action type=\\\"settimeformats\\\" currDteFormat=\\\"dd.MM.yyyy\\\" "
            "currTmeFormat=\\\"HH:mm\\\" HrFormat=\\\"true\\\"/></m>\"\n");
  EXPECT_EQ(bus_.Call(kApp, kAppIface, "GetIoNotify").out, "o \"/com/norvale/Hearth/IoNotify\"\n");
}

TEST_F(BusServiceTest, RepeatedFailedPasswordChecksMakeTheirCallerWaitAndNobodyElse) {
  const std::vector<std::string> guess = {"ss", "someone@elsewhere", "guess"};
  // The wait runs from the third failure, which the service counts after
  // this time: the fourth answer comes at least a second after it.
  std::chrono::steady_clock::time_point asked;
  for (int i = 0; i < 3; ++i) {
    if (i == 2) asked = std::chrono::steady_clock::now();
    EXPECT_EQ(bus_.Call(kApp, kAppIface, "ValidateWindowsUserCredentials", guess).out, "b false\n");
  }
  // The fourth waits a second for its answer; the service answers others meanwhile.
  std::vector<std::string> argv = {"busctl", "--system", "call", "--", "com.norvale.Hearth", kApp, kAppIface,
                                   "ValidateWindowsUserCredentials"};
  argv.insert(argv.end(), guess.begin(), guess.end());
  auto fourth = bus_.Spawn(argv, "fourth-guess");
  Finished meanwhile = bus_.Call(kApp, kAppIface, "version");
  EXPECT_EQ(meanwhile.exit_code, 0) << meanwhile.err;
  Finished answered = fourth->Wait(std::chrono::seconds(30));
  const auto waited = std::chrono::steady_clock::now() - asked;
  EXPECT_EQ(answered.out, "b false\n") << answered.err;
  EXPECT_GE(waited, std::chrono::milliseconds(1000));
}

TEST(BusAccessTest, TheInstalledPolicyLetsOthersIntrospectAndNothingMore) {
  PrivateBus bus(Policy::kInstalled);
  bus.StartService();
  Finished introspect = bus.Run({"busctl", "--system", "introspect", "com.norvale.Hearth", kApp}, kNobody);
  EXPECT_EQ(introspect.exit_code, 0) << introspect.err;
  Finished read = bus.Call(kApp, kAppIface, "version", {}, kNobody);
  EXPECT_NE(read.exit_code, 0);
  EXPECT_NE(read.err.find("Access denied"), std::string::npos) << read.err;
  EXPECT_EQ(bus.Call(kApp, kAppIface, "version").exit_code, 0);
}

TEST(BusAccessTest, AMistakenPolicyStillLeavesTheServiceRefusingActingCalls) {
  PrivateBus bus(Policy::kOpen);
  bus.StartService();
  // Reads pass (the policy's business) ...
  Finished read = bus.Settings("GetValue", {"s", "sys.protecton"}, kNobody);
  EXPECT_EQ(read.exit_code, 0) << read.err;
  // ... but writing settings, acting and checking credentials do not.
  struct Case {
    std::string path, interface_name, member;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"/com/norvale/Hearth/Settings/System", "com.norvale.Hearth.cSettings", "SetValue", {"sv", "sys.a", "s", "b"}},
      {"/com/norvale/Hearth/Settings/User", "com.norvale.Hearth.cSettings", "ClearAllSettings", {}},
      {kApp, kAppIface, "ValidateWindowsUserCredentials", {"ss", "root", "guess"}},
      {kApp, kAppIface, "SettingsChanged", {"b", "true"}},
      {"/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify", "DoXMLAction", {"s", "<m/>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    Finished f = bus.Call(c.path, c.interface_name, c.member, c.args, kNobody);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_NE(f.err.find("Access denied"), std::string::npos) << f.err;
    EXPECT_EQ(bus.LogLines("Bus: access denied to uid 65534 calling " + c.interface_name + "." + c.member).size(), 1u);
  }
  EXPECT_EQ(bus.Settings("Exists", {"s", "sys.a"}).out, "b false\n");
  // The refusal is the bus's own error with the service's words.
  Finished g = bus.Run({"gdbus", "call", "--system", "--dest", "com.norvale.Hearth", "--object-path", kApp,
                        "--method", "com.norvale.Hearth.Application.GuiShutdown"},
                       kNobody);
  EXPECT_NE(g.err.find("org.freedesktop.DBus.Error.AccessDenied: only root and members of the group hearth may "
                       "call GuiShutdown"),
            std::string::npos)
      << g.err;
}

TEST(BusStartTest, WithoutABusTheServiceRunsOnAndTakesItsNameWhenTheBusAppears) {
  PrivateBus bus(Policy::kInstalled, /*start_daemon=*/false);
  bus.StartService(/*wait_for_name=*/false);
  const std::string missing = "Bus: the system bus is not there (" + bus.address();
  for (int i = 0; i < 3000 && bus.LogLines(missing).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(bus.LogLines(missing).size(), 1u);
  // The rest of the service works without the bus.
  EXPECT_FALSE(bus.LogLines("Service.OnStart: complete").empty());
  // Several retries later there is still only the one line.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(bus.LogLines(missing).size(), 1u);
  EXPECT_TRUE(bus.service()->Running());

  bus.StartDaemon();
  ASSERT_TRUE(bus.WaitForName());
  EXPECT_EQ(bus.Call(kApp, kAppIface, "version").exit_code, 0);
  EXPECT_EQ(bus.LogLines("Bus: took the name com.norvale.Hearth on " + bus.address()).size(), 1u);
}

}  // namespace
}  // namespace bus_test

namespace bus_test {
namespace {

TEST(HearthctlMonitorTest, PrintsEachSignalOnOneLineUntilInterrupted) {
  PrivateBus bus;
  bus.StartService();
  auto monitor = bus.Spawn({ProgramPath("hearthctl"), "--root", bus.root().string(), "monitor"}, "hearthctl-monitor");
  // The match is in place once hearthctl's own Hello shows on the bus; give
  // it the time a start takes, then change settings until a line shows.
  std::string seen;
  for (int i = 0; i < 200 && seen.find("SettingChanged") == std::string::npos; ++i) {
    ASSERT_EQ(bus.Settings("SetValue", {"sv", "sys.watched", "i", std::to_string(i)}).exit_code, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    seen = testing_support::ReadFileBytes(bus.folder() / "hearthctl-monitor.out");
  }
  monitor->Signal(SIGINT);
  Finished finished = monitor->Wait();
  EXPECT_EQ(finished.exit_code, 0) << finished.err;
  const std::string first = finished.out.substr(0, finished.out.find('\n'));
  EXPECT_EQ(first.rfind("/com/norvale/Hearth/Settings/System com.norvale.Hearth.cSettings.SettingChanged "
                        "String(\"sys.watched\") Long(",
                        0),
            0u)
      << finished.out;
}

TEST(HearthctlMonitorTest, TheSignalsOfTheStopReachAClientThatStays) {
  PrivateBus bus;
  bus.StartService();
  auto monitor = bus.Spawn({ProgramPath("hearthctl"), "--root", bus.root().string(), "monitor"}, "stop-monitor");
  std::string seen;
  for (int i = 0; i < 200 && seen.find("SettingChanged") == std::string::npos; ++i) {
    ASSERT_EQ(bus.Settings("SetValue", {"sv", "sys.before.stop", "i", std::to_string(i)}).exit_code, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    seen = testing_support::ReadFileBytes(bus.folder() / "stop-monitor.out");
  }
  ASSERT_NE(seen.find("SettingChanged"), std::string::npos);
  // The stop stores the changed collection: its last event goes out before
  // the service leaves the bus.
  bus.StopService();
  monitor->Signal(SIGINT);
  const Finished finished = monitor->Wait();
  EXPECT_NE(finished.out.find("Application.OnShutdown"), std::string::npos) << finished.out;
}

TEST(HearthctlMonitorTest, WithoutABusSaysSoAndFails) {
  PrivateBus bus(Policy::kInstalled, /*start_daemon=*/false);
  Finished f = bus.Run({ProgramPath("hearthctl"), "monitor"});
  EXPECT_EQ(f.exit_code, 1);
  EXPECT_EQ(f.err.rfind("hearthctl monitor: the system bus is not there (" + bus.address(), 0), 0u) << f.err;
}

}  // namespace
}  // namespace bus_test

namespace bus_test {
namespace {

TEST(BusResolverTest, ACallWaitingOnACancelledLookupIsAnsweredNotKeptForEver) {
  dns_testing::LoopbackDnsResponder dns;
  dns.Ignore("slow.test");
  PrivateBus bus;
  testing_support::WriteFileBytes(bus.root() / "machine.conf",
                                  "dns.servers = " + dns.ServerCsv() + "\ndns.timeout = 30000\ndns.tries = 1\n");
  bus.StartService();
  auto waiting = bus.Spawn({"busctl", "--system", "--timeout=60", "call", "com.norvale.Hearth",
                            "/com/norvale/Hearth/DnsResolver", "com.norvale.Hearth.cDnsResolver", "GetAddress", "s",
                            "slow.test"},
                           "waiting-call");
  for (int i = 0; i < 1000 && dns.QueryCount("slow.test") == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GT(dns.QueryCount("slow.test"), 0);
  ASSERT_EQ(bus.Call("/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify", "CancelAllDNSRequests").exit_code,
            0);
  // Answered now, long before the lookup's own 30 seconds.
  const Finished answered = waiting->Wait(std::chrono::seconds(20));
  EXPECT_NE(answered.exit_code, 0);
  EXPECT_NE(answered.exit_code, -1) << "still waiting";
  EXPECT_NE(answered.err.find("the lookup was cancelled before it was answered"), std::string::npos) << answered.err;
}

TEST(HearthctlDnsViaServiceTest, AsksTheRunningServicesResolver) {
  dns_testing::LoopbackDnsResponder dns;
  dns.AddHost("two.test", {"10.0.0.1", "10.0.0.2"});
  dns.AddPtr("10.0.0.7", "seven.test");
  dns.Fail("missing.test", dns_testing::Rcode::kNxDomain);
  PrivateBus bus;
  testing_support::WriteFileBytes(bus.root() / "machine.conf",
                                  "dns.servers = " + dns.ServerCsv() + "\ndns.timeout = 20000\ndns.tries = 1\n");
  bus.StartService();
  Finished f = bus.Run({ProgramPath("hearthctl"), "--root", bus.root().string(), "dns", "resolve", "--via-service",
                        "two.test", "10.0.0.7", "missing.test"});
  EXPECT_EQ(f.exit_code, 1);
  EXPECT_EQ(f.out, "two.test 10.0.0.1 10.0.0.2\nseven.test 10.0.0.7\n");
  EXPECT_EQ(f.err, "hearthctl dns resolve: \"missing.test\" not found\n");
  bus.StopService();
  Finished gone = bus.Run({ProgramPath("hearthctl"), "dns", "resolve", "--via-service", "two.test"});
  EXPECT_EQ(gone.exit_code, 1);
  EXPECT_NE(gone.err.find("hearthd is not running on the bus"), std::string::npos) << gone.err;
}

}  // namespace
}  // namespace bus_test
