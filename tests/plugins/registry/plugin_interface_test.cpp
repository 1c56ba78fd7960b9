#include <gtest/gtest.h>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "plugin_fixture.h"
#include "plugins/host/c_plugin_host.h"
#include "typelib/norv_io_core_events.h"

namespace plugins {
namespace {

using platform::Variant;
using platform::com::ObjectPtr;

TEST(INorvIoCoreEventsTest, TheLibrarysOwnClassDoesNothingAndAnswersFalseLateBound) {
  ObjectPtr events = std::make_shared<typelib::INorvIoCoreEvents>();
  EXPECT_EQ(events->TypeName(), "INorvIoCoreEvents");
  std::vector<Variant> four{Variant::Nothing(), Variant::Nothing(), Variant::Nothing(), Variant::Nothing()};
  for (const char* name : {"OnGuiShutdown", "OnStartup", "OnShutdown", "OnUserSwitch", "OnUserSettingsChange",
                           "OnDeviceChange"}) {
    EXPECT_TRUE(platform::com::CallByName(events, name, four).IsEmpty()) << name;
  }
  std::vector<Variant> five{Variant::Nothing(), Variant::Nothing(), Variant::Nothing(), Variant::Nothing(),
                            Variant(true)};
  platform::com::CallByName(events, "OnSettingsChange", five);
  EXPECT_TRUE(platform::CBool(five[4]));
  EXPECT_FALSE(platform::CBool(platform::com::CallByName(events, "GetStatus", {Variant::Nothing(), Variant("x")})));
  EXPECT_FALSE(platform::CBool(platform::com::CallByName(events, "GetStatus", {Variant::Nothing()})));
  EXPECT_STREQ(typelib::kINorvIoCoreEventsInterfaceId, "{E5784018-96B3-4F43-B9A9-3366E83E6E2F}");
  EXPECT_STREQ(typelib::kNorvIoCoreEventsClassId, "{B2D454D7-D7AC-4F9E-BB16-19E85E2EE4EE}");
}

class PluginHostTest : public plugin_testing::PluginTest {};

TEST_F(PluginHostTest, AnObjectOfNeitherKindIsRefusedByItsTypeName) {
  if (!platform::com::IsClassRegistered("Test.Plain")) {
    platform::com::RegisterClass("Test.Plain", [] { return ObjectPtr(std::make_shared<platform::com::Object>()); });
  }
  init_testing::RunOnFreshThread([&] {
    InstallSystem();
    Mark();
    auto host = std::make_shared<cPluginHost>();
    EXPECT_FALSE(host->CreatePlugin("Test.Plain", "<plugin/>"));
    EXPECT_EQ(host->PluginXML(), "");
    EXPECT_EQ(MessagesSinceMark(),
              (std::vector<std::string>{"CreatePlugin - Plugin 'Test.Plain'does not support the INorvIoCoreEvents or "
                                        "INotifierHost interface. It is of type 'Object'"}));
  });
}

TEST_F(PluginHostTest, OnUserLogoffKeepsTheArgumentsOfAnEventsPlugInButCallsNothing) {
  plugin_testing::RegisterEventsPlugin("Test.Events");
  init_testing::RunOnFreshThread([&] {
    auto host = std::make_shared<cPluginHost>();
    ASSERT_TRUE(host->CreatePlugin("Test.Events", "<plugin rank=\"1\"/>"));
    EXPECT_TRUE(host->IsIoCoreEvents());
    ObjectPtr data = std::make_shared<platform::com::Object>();
    ObjectPtr none;
    host->OnUserLogoff(none, none, none, data);
    EXPECT_TRUE(plugin_testing::Journal().empty());
    EXPECT_EQ(host->PlugInData(), data);
    // DoNotify is the one operation that lets a failure through: an events
    // plug-in has no channel.
    std::vector<Variant> args{Variant("SchedNotify"), Variant(), Variant()};
    EXPECT_THROW(platform::com::CallByName(host, "DoNotify", args), platform::BasicError);
    EXPECT_EQ(platform::CStr(platform::com::CallByName(host, "ProgID")), "Test.Events");
  });
}

}  // namespace
}  // namespace plugins
