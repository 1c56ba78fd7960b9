#include <gtest/gtest.h>

#include <thread>

#include "contracts/notifier.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_table.h"
#include "platform/dom/xml_element_object.h"
#include "plugin_fixture.h"
#include "plugins/host/c_plugin_host.h"

namespace plugins {
namespace {

using init_testing::RunOnFreshThread;
using platform::Variant;
using platform::com::ObjectPtr;

// A notifier plug-in whose start-up answers the test sets, and which hands
// the test the host's channel for requests.
struct Script {
  std::string branding;          // GetBranding answer ("" : none)
  std::string settings_request;  // GetSettings answer ("" : none)
  std::string branding_seen;     // SetBranding, as XML
  std::string settings_seen;     // SetSettings, as XML
  Variant branding_given;        // the element the plug-in answered GetBranding with
  std::shared_ptr<contracts::cNotifier> host;
};
Script& TheScript() {
  static Script script;
  return script;
}

class ScriptedNotifier : public contracts::INotifierHost {
 public:
  std::shared_ptr<contracts::cNotifier> AttachHost(std::shared_ptr<contracts::cNotifier>& host) override {
    TheScript().host = host;
    own_ = contracts::NewNotifier();
    own_->OnNotify([](std::string& name, Variant& p1, Variant& p2) {
      Script& s = TheScript();
      if (name == "GetBranding" && !s.branding.empty()) {
        p2 = Variant(platform::dom::NewXmlElement(s.branding));
        s.branding_given = p2;
      }
      if (name == "SetBranding") s.branding_seen = platform::dom::NodeOf(p1).Xml();
      if (name == "GetSettings" && !s.settings_request.empty()) {
        p2 = Variant(platform::dom::NewXmlElement(s.settings_request));
      }
      if (name == "SetSettings") s.settings_seen = platform::dom::NodeOf(p1).Xml();
    });
    return own_;
  }

 private:
  std::shared_ptr<contracts::cNotifier> own_;
};

// Stands in for cIoNotify: the shared data and the XML actions it received.
class FakeIoNotify : public platform::com::Object {
 public:
  ObjectPtr shared = platform::dom::NewXmlElement("<root />");
  std::vector<std::string> actions;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<FakeIoNotify>({
        {"ThreadSafeSharedData", [](FakeIoNotify& self) { return Variant(self.shared); }},
        {"DoXMLAction", 1,
         [](FakeIoNotify& self, platform::com::Args args) {
           self.actions.push_back(platform::CStr(args[0]));
           args[0] = Variant("<reply/>");
         }},
    });
    return &table;
  }
};

class HostServicesTest : public plugin_testing::PluginTest {
 protected:
  HostServicesTest() {
    TheScript() = Script{};
    if (!platform::com::IsClassRegistered("Test.Scripted")) {
      platform::com::RegisterClass<ScriptedNotifier>("Test.Scripted");
    }
  }
  ~HostServicesTest() override { TheScript() = Script{}; }

  // A created host that has had one event with these collections.
  std::shared_ptr<cPluginHost> HostAfterAnEvent(ObjectPtr system, ObjectPtr user, ObjectPtr io_notify) {
    auto host = std::make_shared<cPluginHost>();
    EXPECT_TRUE(host->CreatePlugin("Test.Scripted", "<plugin/>"));
    ObjectPtr data;
    host->OnDeviceChange(system, user, io_notify, data);
    return host;
  }

  static Variant Send(const std::string& request, Variant param1, Variant param2 = Variant()) {
    std::string name = request;
    TheScript().host->Notify(name, param1, param2);
    return param2;
  }
};

TEST_F(HostServicesTest, SingleSettingRequestsAddressTheCollectionByTheExactGlobalPrefix) {
  RunOnFreshThread([&] {
    auto system = InstallSystem({{"sys.name", "system value"}, {"Global.sys.name", "odd user name in system"}});
    auto user = settings::GetUserSettings();
    user->SetValue("sys.name", Variant("user value"));
    user->SetValue("Global.sys.name", Variant("user's full name"));
    auto host = HostAfterAnEvent(system, user, nullptr);
    struct Case {
      std::string name;
      std::string answer;
    };
    for (const Case& c : std::vector<Case>{{"global.sys.name", "system value"},
                                           {"global.  sys.name  ", "system value"},
                                           {"Global.sys.name", "user's full name"},
                                           {"sys.name", "user value"},
                                           {"", ""},
                                           {"global.", ""}}) {
      EXPECT_EQ(platform::CStr(Send("GetSetting", Variant(c.name))), c.answer) << c.name;
    }
    Send("SetSetting", Variant("global.sys.new"), Variant(int32_t{5}));
    Send("SetSetting", Variant("user.new"), Variant(true));
    Send("SetSetting", Variant(""), Variant("nowhere"));
    EXPECT_EQ(system->GetValue("sys.new").vt(), platform::VarType::kString);
    EXPECT_EQ(platform::CStr(system->GetValue("sys.new")), "5");
    EXPECT_EQ(platform::CStr(user->GetValue("user.new")), "True");
    // Unknown names and other letter cases do nothing.
    EXPECT_TRUE(Send("getsetting", Variant("sys.name"), Variant("untouched")).StringValue() == "untouched");
  });
}

TEST_F(HostServicesTest, SettingsRequestDocumentsAnswerSingleSettingsAndStems) {
  RunOnFreshThread([&] {
    auto system = InstallSystem({{"sys.a1", "s1"}, {"sys.a2", "s2"}, {"sys.b", "sb"}});
    auto user = settings::GetUserSettings();
    user->SetValue("sys.a9", Variant("u9"));
    auto host = HostAfterAnEvent(system, user, nullptr);
    struct Case {
      std::string request;
      std::string answer;
    };
    const std::vector<Case> cases = {
        {"<r><sys.b/><GLOBAL.sys.b/><Global.SYS.B>old</Global.SYS.B></r>",
         "<r><sys.b/><GLOBAL.sys.b>sb</GLOBAL.sys.b><Global.SYS.B>sb</Global.SYS.B></r>"},
        {"<r><sys.a-/><global.sys.a-/></r>",
         "<r><sys.a-/><global.sys.a-/><sys.a9>u9</sys.a9><global.sys.a1>s1</global.sys.a1>"
         "<global.sys.a2>s2</global.sys.a2></r>"},
        {"<r><missing.one>x</missing.one></r>", "<r><missing.one/></r>"},
        {"<r>", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::CStr(Send("GetSettings", Variant(c.request))), c.answer) << c.request;
  });
}

TEST_F(HostServicesTest, SharedDataAndXmlActionsGoToTheStoredIoNotify) {
  RunOnFreshThread([&] {
    auto io_notify = std::make_shared<FakeIoNotify>();
    auto host = HostAfterAnEvent(nullptr, nullptr, io_notify);
    Variant shared = Send("GetSharedData", Variant());
    EXPECT_EQ(shared.ObjectValue(), io_notify->shared);
    Variant message("<actions><action type=\"x\"/></actions>");
    Send("DoXMLAction", message);
    EXPECT_EQ(io_notify->actions, (std::vector<std::string>{"<actions><action type=\"x\"/></actions>"}));
    // Missing collections answer empty, and nothing fails.
    EXPECT_EQ(platform::CStr(Send("GetSetting", Variant("sys.x"), Variant("before"))), "");
    EXPECT_EQ(platform::CStr(Send("GetSettings", Variant("<r><a/><b-/></r>"))), "<r><a/><b-/></r>");
  });
}

TEST_F(HostServicesTest, TheStartupExchangeResolvesBrandingAndAnswersTheSettingsRequestEmpty) {
  RunOnFreshThread([&] {
    InstallSystem({{"sys.apppath", "/opt"}});
    SetPluginList("");
    TheScript().branding =
        "<b><name>{%strings%}/guest</name><list>/features/*</list>"
        "<free a=\"%%PRODUCTNAMESHORT\" b=\"plain\">{%strings%}/thiscomputer</free><missing>nowhere/at/all</missing></b>";
    TheScript().settings_request = "<req><sys.apppath>x</sys.apppath><global.sys.-/></req>";
    auto host = std::make_shared<cPluginHost>();
    ASSERT_TRUE(host->CreatePlugin("Test.Scripted", "<plugin/>"));
    EXPECT_EQ(TheScript().branding_seen,
              "<b><name>Guest</name><list><feature amsid=\"A\" name=\"Anti-Virus\"/>"
              "<feature amsid=\"F\" name=\"Firewall\"/><feature amsid=\"W\"/><feature amsid=\"P\"/>"
              "<feature amsid=\"B\"/><feature amsid=\"D\"/></list>"
              "<free a=\"Veltris\" b=\"plain\">This Computer</free><missing/></b>");
    // At creation the host holds no collections yet.
    EXPECT_EQ(TheScript().settings_seen, "<req><sys.apppath/><global.sys.-/></req>");
    EXPECT_FALSE(host->IsIoCoreEvents());
    EXPECT_EQ(host->PluginXML(), "<plugin/>");
  });
}

// Run under ThreadSanitizer (scripts/test-tsan): a request answered on the
// plug-in's thread would race the service thread's own writes.
TEST_F(HostServicesTest, RequestsFromAnotherThreadAreRefusedWithAClearError) {
  RunOnFreshThread([&] {
    auto system = InstallSystem({{"sys.name", "system value"}});
    auto user = settings::GetUserSettings();
    auto host = HostAfterAnEvent(system, user, nullptr);
    struct Outcome {
      int32_t number = 0;
      std::string description;
      Variant answer;
    };
    std::vector<Outcome> outcomes(3);
    const std::vector<std::pair<std::string, Variant>> requests = {
        {"SetSetting", Variant("global.sys.name")}, {"GetSetting", Variant("global.sys.name")},
        {"GetSettings", Variant("<r><global.sys.name/></r>")}};
    std::thread plugin_thread([&] {
      for (size_t i = 0; i < requests.size(); ++i) {
        // The refusal is the pending error on the sender's thread.
        platform::Err::Clear();
        outcomes[i].answer = Send(requests[i].first, requests[i].second, Variant("from the plug-in"));
        outcomes[i].number = platform::Err::Number();
        outcomes[i].description = platform::Err::Description();
      }
    });
    // The service thread goes on with its own work meanwhile.
    for (int i = 0; i < 200; ++i) system->SetValue("sys.name", Variant("service " + std::to_string(i)));
    plugin_thread.join();
    for (size_t i = 0; i < requests.size(); ++i) {
      SCOPED_TRACE(requests[i].first);
      EXPECT_EQ(outcomes[i].number, contracts::kErrNotifyFromAnotherThread);
      EXPECT_EQ(platform::CStr(outcomes[i].answer), "from the plug-in");
      EXPECT_EQ(outcomes[i].description, "plug-in 'Test.Scripted' sent '" + requests[i].first +
                                             "' from another thread; the service answers requests only on its own "
                                             "thread (send them while handling one of its messages)");
    }
    EXPECT_EQ(platform::CStr(system->GetValue("sys.name")), "service 199");
    // On the service thread the same request is answered.
    EXPECT_EQ(platform::CStr(Send("GetSetting", Variant("global.sys.name"))), "service 199");
  });
}

TEST_F(HostServicesTest, ASettingNoFileCouldHoldIsRefusedAndLogged) {
  RunOnFreshThread([&] {
    auto system = InstallSystem();
    auto user = settings::GetUserSettings();
    auto host = HostAfterAnEvent(system, user, nullptr);
    const size_t system_count = system->Count(), user_count = user->Count();
    Mark();
    Send("SetSetting", Variant("global.a b"), Variant("x"));
    Send("SetSetting", Variant("1abc"), Variant("x"));
    EXPECT_EQ(system->Count(), system_count);
    EXPECT_EQ(user->Count(), user_count);
    const auto lines = MessagesSinceMark();
    for (const std::string expected :
         {"cPluginHost - SetSetting from plug-in 'Test.Scripted' refused: \"a b\" cannot be a setting name (it is "
          "not a valid XML name)",
          "cPluginHost - SetSetting from plug-in 'Test.Scripted' refused: \"1abc\" cannot be a setting name (it is "
          "not a valid XML name)"}) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
    EXPECT_NO_THROW(system->WriteSnapshotToString());
    EXPECT_NO_THROW(user->WriteSnapshotToString());
  });
}

TEST_F(HostServicesTest, APlugInThatIgnoresGetSettingsKeepsItsBranding) {
  RunOnFreshThread([&] {
    InstallSystem({{"sys.apppath", "/opt"}});
    SetPluginList("");
    TheScript().branding = "<b><name>{%strings%}/guest</name><free>{%strings%}/thiscomputer</free></b>";
    auto host = std::make_shared<cPluginHost>();
    ASSERT_TRUE(host->CreatePlugin("Test.Scripted", "<plugin/>"));
    const std::string resolved = "<b><name>Guest</name><free>This Computer</free></b>";
    EXPECT_EQ(TheScript().branding_seen, resolved);
    // The settings request is its own variable: the branding element the
    // plug-in keeps is not answered as one (and emptied).
    EXPECT_EQ(platform::dom::NodeOf(TheScript().branding_given).Xml(), resolved);
    EXPECT_EQ(TheScript().settings_seen, "");
  });
}

}  // namespace
}  // namespace plugins
