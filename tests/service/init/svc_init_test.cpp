#include "service/init/svc_init.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"
#include "platform/registry/registry_types.h"
#include "plugins/notify/shared_io_notify.h"
#include "service/init/administrator_search.h"
#include "service/init/testing/init_test_support.h"

namespace service {
namespace {

using init_testing::FindMessage;
using init_testing::RunOnFreshThread;
using init_testing::SystemLogMessages;
using init_testing::Text;
using init_testing::User;

constexpr char kA[] = "S-1-22-1-1000";
constexpr char kB[] = "S-1-22-1-1001";
constexpr char kGuestLine[] = "Loading loading guest profile since we couldn't find the current user";

// Stands in for the Application object: LoadSingleUserSettings fills the
// current user's collection as the guest profile would.
class FakeApplication : public platform::com::Object {
 public:
  int guest_loads = 0;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<FakeApplication>({
        {"LoadSingleUserSettings",
         [](FakeApplication& self) {
           ++self.guest_loads;
           settings::SettingsPtr user = settings::GetUserSettings();
           user->SetValue("user.ID", platform::Variant("Guest"));
           user->SetValue("user.friendlyname", platform::Variant("Guest User"));
           user->SetValue("user.sid", platform::Variant("*"));
         }},
    });
    return &table;
  }
};

class SvcInitTest : public init_testing::InitTest {
 protected:
  // Stores a system collection with these values, as an earlier run left it.
  void StoreSystem(const std::vector<std::pair<std::string, platform::Variant>>& values) {
    RunOnFreshThread([&] {
      auto system = std::make_shared<settings::cSettings>();
      for (const auto& [name, value] : values) system->SetValue(name, value);
      system->WriteSnapshotToStored("");
    });
  }

  std::shared_ptr<FakeApplication> application_ = std::make_shared<FakeApplication>();
};

TEST_F(SvcInitTest, AFreshRootGetsFoldersUsersAndTheGuestProfile) {
  auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
  ASSERT_TRUE(registry->CreateKey(platform::registry::kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5",
                                  contracts::kRegistryFullAccess));
  registry->WriteString("installdir", root_.str() + "/program files/Veltris");
  std::vector<std::string> messages;
  RunOnFreshThread([&] {
    SetApplicationObject(application_);
    SvcInit::Init();
    settings::SettingsPtr system = settings::GetSystemSettings();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(Text(system, "sys.apppath"), root_.str() + "/program files/Veltris/app");
    EXPECT_EQ(Text(system, "sys.profilepath"), ProfileFolder());
    EXPECT_EQ(Text(system, "sys.logpath"), root_.str() + "/commonfiles/Norvale/QORC/log");
    EXPECT_EQ(Text(system, "users.sids"), "*|");
    EXPECT_FALSE(system->Exists("adminuser.sid"));
    EXPECT_EQ(Text(settings::GetUserSettings(), "user.sid"), "*");
  });
  EXPECT_EQ(application_->guest_loads, 1);
  messages = SystemLogMessages();
  const int loading = FindMessage(messages, "SvcInit::Init - loading system settings");
  const int guest = FindMessage(messages, kGuestLine, loading);
  const int loaded = FindMessage(messages, "SvcInit::Init - loaded user settings Guest ( Guest User )", guest);
  const int done = FindMessage(messages, "SvcInit::Init done", loaded);
  EXPECT_NE(loading, -1);
  EXPECT_NE(guest, -1);
  EXPECT_NE(loaded, -1);
  EXPECT_EQ(done, static_cast<int>(messages.size()) - 1);
  EXPECT_NE(FindMessage(messages, "Beginning SyncUsers. Admin User SID is ''. Checking NT user list", loading), -1);
}

TEST_F(SvcInitTest, TheFirstAdministratorOfTheListIsTheUser) {
  users_->records = {User(kA, "alice", "Alice"), User(kB, "bob", "Bob")};
  for (const platform::Variant& multi_user : {platform::Variant("TRUE"), platform::Variant(true)}) {
    StoreSystem({{"legacy.featuremultiuser", multi_user},
                 {"users.sids", platform::Variant(std::string("*|") + kA + "|" + kB + "|")},
                 {std::string("user.") + kA + ".userid", platform::Variant("alice")},
                 {std::string("user.") + kA + ".isadmin", platform::Variant(false)},
                 {std::string("user.") + kB + ".userid", platform::Variant("bob")},
                 {std::string("user.") + kB + ".isadmin", platform::Variant(true)}});
    const size_t before = SystemLogMessages().size();
    RunOnFreshThread([&] {
      SetApplicationObject(application_);
      SvcInit::Init();
      EXPECT_EQ(Text(settings::GetSystemSettings(), "adminuser.sid"), kB);
    });
    const std::vector<std::string> messages = SystemLogMessages();
    EXPECT_EQ(FindMessage(messages, kGuestLine, static_cast<int>(before)), -1);
    EXPECT_NE(FindMessage(messages, "SvcInit::Init - loaded user settings  (  )", static_cast<int>(before)), -1);
  }
  EXPECT_EQ(application_->guest_loads, 0);
}

TEST_F(SvcInitTest, WithoutMultiUserModeTheGuestIsAlwaysLoaded) {
  StoreSystem({{"users.sids", platform::Variant(std::string(kA) + "|")},
               {std::string("user.") + kA + ".isadmin", platform::Variant(true)}});
  RunOnFreshThread([&] {
    SetApplicationObject(application_);
    SvcInit::Init();
    EXPECT_FALSE(settings::GetSystemSettings()->Exists("adminuser.sid"));
  });
  EXPECT_EQ(application_->guest_loads, 1);
}

TEST_F(SvcInitTest, ADamagedSystemFileLeavesTheFolderSettings) {
  StoreSystem({{"sys.setting", platform::Variant("kept?")}});
  for (const auto& entry : std::filesystem::directory_iterator(ProfileFolder())) {
    testing_support::WriteFileBytes(entry.path(), "damaged beyond repair");
  }
  RunOnFreshThread([&] {
    SvcInit::Init();  // and no Application object at all
    settings::SettingsPtr system = settings::GetSystemSettings();
    EXPECT_FALSE(system->Exists("sys.setting"));
    EXPECT_EQ(Text(system, "sys.profilepath"), ProfileFolder());
    EXPECT_EQ(Text(system, "sys.apppath"), "");  // no product key
    EXPECT_NE(settings::GetUserSettings(), nullptr);
  });
  const std::vector<std::string> messages = SystemLogMessages();
  EXPECT_NE(FindMessage(messages, kGuestLine), -1);
  EXPECT_NE(FindMessage(messages, "SvcInit::Init done"), -1);
}

TEST_F(SvcInitTest, SafeModeWithoutNetworkLoadsNothing) {
  WriteMachineConfig("CleanBoot = 1\n");
  plugins::SetIoNotifyFactory({});  // as in a fresh process
  RunOnFreshThread([&] {
    SetApplicationObject(application_);
    SvcInit::Init();
    EXPECT_EQ(settings::GetSystemSettings(), nullptr);
    // Loading is skipped, not the wiring: the shared cIoNotify still exists.
    EXPECT_NE(plugins::GetSharedIoNotify(), nullptr);
  });
  EXPECT_EQ(FindMessage(SystemLogMessages(), "SvcInit::Init - loading system settings"), -1);
  EXPECT_EQ(application_->guest_loads, 0);

  WriteMachineConfig("CleanBoot = 2\n");  // safe mode with network runs normally
  RunOnFreshThread([&] {
    SvcInit::Init();
    EXPECT_NE(settings::GetSystemSettings(), nullptr);
  });
}

TEST_F(SvcInitTest, AdministratorSearch) {
  RunOnFreshThread([&] {
    struct Case {
      std::string sids;
      std::vector<std::pair<std::string, platform::Variant>> flags;
      std::string admin;
    } cases[] = {
        {"*|A|B|", {{"A", platform::Variant(false)}, {"B", platform::Variant(true)}}, "B"},
        {"*|A|B|", {{"A", platform::Variant("True")}, {"B", platform::Variant(true)}}, "A"},
        {"A|B|", {{"A", platform::Variant("yes")}, {"B", platform::Variant("-1")}}, "B"},  // "yes" is no Boolean
        {"*|", {}, ""},  // the guest is never the administrator (and "user.*.isadmin" cannot be stored)
        {"||A", {{"A", platform::Variant(true)}}, "A"},
        {"A|", {}, ""},
        {"", {}, ""},
    };
    for (const Case& c : cases) {
      settings::cSettings system;
      system.SetValue("users.sids", platform::Variant(c.sids));
      for (const auto& [sid, flag] : c.flags) system.SetValue("user." + sid + ".isadmin", flag);
      EXPECT_EQ(FindAdministratorSid(system), c.admin) << c.sids;
    }
    EXPECT_EQ(platform::Err::Number(), 0);
  });
}

}  // namespace
}  // namespace service
