// SetValue, RemoveValue, ClearAllSettings and DoSync: Dirty and the events.
#include <gtest/gtest.h>

#include <memory>

#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"

namespace settings {
namespace {

using platform::Variant;
using settings_testing::EventRecorder;

class ChangesTest : public settings_testing::SettingsTest {
 protected:
  std::shared_ptr<cSettings> settings_ = std::make_shared<cSettings>();
};

TEST_F(ChangesTest, AChangedValueMarksDirtyAndRaisesSettingChangedWithTheNameAsGiven) {
  EventRecorder recorder(*settings_);
  settings_->SetValue("User.Colour", "red");
  EXPECT_TRUE(settings_->Dirty());
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].id, kDispIdSettingChanged);
  EXPECT_EQ(recorder.events[0].name, "SettingChanged");
  ASSERT_EQ(recorder.events[0].args.size(), 2u);
  EXPECT_EQ(recorder.events[0].args[0].StringValue(), "User.Colour");
  EXPECT_EQ(recorder.events[0].args[1].StringValue(), "red");
}

TEST_F(ChangesTest, AnUnchangedValueRaisesNothingAndLeavesDirtyAsItWas) {
  settings_->CreateSnapshotFromString(
      "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><user.n VT=\"8\">5</user.n></cSettings></VeltrisSettings>");
  ASSERT_FALSE(settings_->Dirty());
  EventRecorder recorder(*settings_);
  settings_->SetValue("user.n", "5");
  settings_->SetValue("USER.N", "5");
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_FALSE(settings_->Dirty());
  // The number 5 is not the text "5": that is a change.
  settings_->SetValue("user.n", 5);
  EXPECT_EQ(recorder.events.size(), 1u);
  EXPECT_TRUE(settings_->Dirty());
}

TEST_F(ChangesTest, ValuesThatCannotBeComparedCountAsChangedUnlessTheSame) {
  auto nested = std::make_shared<cSettings>();
  auto other = std::make_shared<cSettings>();
  settings_->SetValue("sys.null", Variant::Null());
  settings_->SetValue("sys.obj", Variant(nested));
  settings_->SetValue("sys.bytes", Variant(std::vector<uint8_t>{1, 2}));
  EventRecorder recorder(*settings_);
  settings_->SetValue("sys.null", Variant::Null());                    // Null is never equal
  settings_->SetValue("sys.obj", Variant(nested));                     // the same object
  settings_->SetValue("sys.obj", Variant(other));                      // another one
  settings_->SetValue("sys.bytes", Variant(std::vector<uint8_t>{1, 2}));  // same bytes
  settings_->SetValue("sys.bytes", Variant(std::vector<uint8_t>{1, 3}));
  std::vector<std::string> changed;
  for (const auto& event : recorder.events) changed.push_back(event.args[0].StringValue());
  EXPECT_EQ(changed, (std::vector<std::string>{"sys.null", "sys.obj", "sys.bytes"}));
  EXPECT_FALSE(platform::Err::IsSet());
}

TEST_F(ChangesTest, RemoveValueRaisesSettingRemovedAndLeavesDirtyAlone) {
  settings_->CreateSnapshotFromString(
      "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><user.a VT=\"8\">x</user.a></cSettings></VeltrisSettings>");
  EventRecorder recorder(*settings_);
  settings_->RemoveValue("User.A");
  settings_->RemoveValue("user.missing");
  EXPECT_FALSE(settings_->Exists("user.a"));
  EXPECT_FALSE(settings_->Dirty());
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].id, kDispIdSettingRemoved);
  EXPECT_EQ(recorder.events[0].args[0].StringValue(), "user.a");
  EXPECT_EQ(recorder.events[0].args[1].StringValue(), "x");
}

TEST_F(ChangesTest, ClearAllSettingsEmptiesAndResetsNamespaceAndDirty) {
  settings_->SetNamespace("app");
  settings_->SetValue("x", 1);
  EventRecorder recorder(*settings_);
  settings_->ClearAllSettings();
  EXPECT_EQ(settings_->Count(), 0u);
  EXPECT_FALSE(settings_->Dirty());
  EXPECT_EQ(settings_->Namespace(), "");
  EXPECT_EQ(recorder.Names(), (std::vector<std::string>{"SettingsCleared"}));
  EXPECT_EQ(recorder.events[0].id, kDispIdSettingsCleared);
}

// A sink that answers the Sync event by rewriting the reason it was given.
class SyncSink : public platform::com::Object {
 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<SyncSink>({
        {kDispIdSync, "Sync", 1,
         [](SyncSink&, platform::com::Args args) { args[0] = Variant(platform::CStr(args[0]) + " seen"); }},
    });
    return &table;
  }
};

TEST_F(ChangesTest, DoSyncRaisesSyncAndHandsBackWhatTheSinkWrote) {
  settings_->events().Advise(std::make_shared<SyncSink>());
  std::string reason = "logon";
  EXPECT_TRUE(settings_->DoSync(reason).IsEmpty());
  EXPECT_EQ(reason, "logon seen");

  std::vector<Variant> args{Variant("again")};
  platform::com::CallByName(settings_, "DoSync", args);
  EXPECT_EQ(args[0].StringValue(), "again seen");
  EXPECT_EQ(settings_->Count(), 0u);
}

}  // namespace
}  // namespace settings
