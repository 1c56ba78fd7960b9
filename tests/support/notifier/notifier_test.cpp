#include "support/notifier/notifier.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "contracts/notifier.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace support {
namespace {

using platform::Variant;
using platform::com::Args;

// An object sink that answers "GetSetting" by writing into the parameters.
class SettingsSink : public platform::com::Object {
 public:
  std::vector<std::string> seen;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<SettingsSink>({
        {"OnNotify", 3,
         [](SettingsSink& self, Args args) {
           self.seen.push_back(platform::CStr(args[0]));
           if (platform::CStr(args[0]) == "GetSetting") args[2] = Variant("value of " + platform::CStr(args[1]));
         }},
    });
    return &table;
  }
};

TEST(SupportNotifier, NotifyReachesEverySinkAndAnswersTravelBack) {
  auto channel = contracts::NewNotifier();
  auto sink = std::make_shared<SettingsSink>();
  channel->Events()->Advise(sink);
  std::vector<std::string> order;
  channel->OnNotify([&](std::string& name, Variant& param1, Variant& param2) {
    order.push_back(name);
    EXPECT_EQ(platform::CStr(param2), "value of sys.AppPath");  // the earlier sink's answer
    param1 = Variant(int32_t{42});
    name = "renamed";
  });

  std::string name = "GetSetting";
  Variant param1("sys.AppPath");
  Variant param2;
  channel->Notify(name, param1, param2);
  EXPECT_EQ(sink->seen, std::vector<std::string>{"GetSetting"});
  EXPECT_EQ(order, std::vector<std::string>{"GetSetting"});
  EXPECT_EQ(platform::CStr(param2), "value of sys.AppPath");
  EXPECT_EQ(param1.LongValue(), 42);
  EXPECT_EQ(name, "renamed");
}

TEST(SupportNotifier, WithoutSinksTheArgumentsStayAsTheyAre) {
  auto channel = contracts::NewNotifier();
  std::string name = "OnStartup";
  Variant data("plug-in data");
  Variant nothing = Variant::Nothing();
  channel->Notify(name, data, nothing);
  EXPECT_EQ(name, "OnStartup");
  EXPECT_EQ(platform::CStr(data), "plug-in data");
  EXPECT_TRUE(nothing.IsNothing());
}

TEST(SupportNotifier, AFailingSinkDoesNotStopTheOthers) {
  auto channel = contracts::NewNotifier();
  channel->OnNotify([](std::string&, Variant&, Variant&) { platform::RaiseError(5, "sink broke"); });
  bool reached = false;
  auto cookie = channel->OnNotify([&](std::string&, Variant&, Variant&) { reached = true; });
  platform::Err::Clear();
  std::string name = "x";
  Variant a, b;
  channel->Notify(name, a, b);
  EXPECT_TRUE(reached);
  EXPECT_EQ(platform::Err::Description(), "sink broke");
  platform::Err::Clear();

  reached = false;
  EXPECT_TRUE(channel->Events()->Unadvise(cookie));
  channel->Notify(name, a, b);
  EXPECT_FALSE(reached);
  platform::Err::Clear();
}

TEST(SupportNotifier, LateBoundNotifyWritesBackThroughTheArguments) {
  platform::com::ObjectPtr channel = contracts::NewNotifier();
  auto notifier = platform::com::QueryInterface<contracts::cNotifier>(channel);
  ASSERT_NE(notifier, nullptr);
  notifier->OnNotify([](std::string& name, Variant&, Variant& param2) {
    if (name.starts_with("GetStatus.")) param2 = Variant(true);
  });
  std::vector<Variant> args{Variant("GetStatus."), Variant::Nothing(), Variant(false)};
  platform::com::CallByName(channel, "notify", args);
  EXPECT_TRUE(args[2].BoolValue());
  EXPECT_EQ(platform::TypeName(Variant(channel)), "cNotifier");
}

// A notifier plug-in: keeps the host's channel and answers with its own.
class EchoPlugin : public contracts::INotifierHost {
 public:
  std::shared_ptr<contracts::cNotifier> AttachHost(std::shared_ptr<contracts::cNotifier>& host) override {
    host_ = host;
    own_ = contracts::NewNotifier();
    own_->OnNotify([this](std::string& name, Variant& param1, Variant&) {
      // On every event, ask the host for a setting through its channel.
      std::string request = "GetSetting";
      Variant setting("global.sys.protecton");
      Variant answer;
      host_->Notify(request, setting, answer);
      param1 = Variant(name + " saw " + platform::CStr(answer));
    });
    return own_;
  }

 private:
  std::shared_ptr<contracts::cNotifier> host_;
  std::shared_ptr<contracts::cNotifier> own_;
};

TEST(SupportNotifier, HostAndPluginTalkThroughTheirPairOfChannels) {
  platform::com::ObjectPtr plugin = std::make_shared<EchoPlugin>();
  auto notifier_host = platform::com::QueryInterface<contracts::INotifierHost>(plugin);
  ASSERT_NE(notifier_host, nullptr);

  auto host_channel = contracts::NewNotifier();
  host_channel->OnNotify([](std::string& name, Variant& param1, Variant& param2) {
    if (name == "GetSetting") param2 = Variant(platform::CStr(param1) + "=True");
  });
  auto plugin_channel = notifier_host->AttachHost(host_channel);
  ASSERT_NE(plugin_channel, nullptr);

  std::string event = "OnStartup";
  Variant data;
  Variant nothing = Variant::Nothing();
  plugin_channel->Notify(event, data, nothing);
  EXPECT_EQ(platform::CStr(data), "OnStartup saw global.sys.protecton=True");
}

}  // namespace
}  // namespace support
