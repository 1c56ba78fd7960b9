// The remaining public members: credentials, version, late-bound access.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/logon/local_account.h"
#include "platform/logon/logon_user.h"
#include "service/application/application_fixture.h"

namespace service {
namespace {

using PublicMembersTest = testing::ApplicationTest;
using platform::Variant;

TEST_F(PublicMembersTest, DomainAndPrincipalNamesAreRefusedWithoutALogonAttempt) {
  // A logon attempt would replace this thread's last logon error.
  platform::logon::LogonUserA("x", ".", "y", 99, 0, nullptr);
  ASSERT_EQ(platform::logon::GetLastLogonError(), platform::logon::kErrorInvalidParameter);
  for (const char* name : {"CORP\\ann", "ann@corp.example", "\\ann", "@"}) {
    EXPECT_FALSE(app_->ValidateWindowsUserCredentials(name, "secret")) << name;
  }
  EXPECT_EQ(platform::logon::GetLastLogonError(), platform::logon::kErrorInvalidParameter);
  EXPECT_FALSE(app_->ValidateWindowsUserCredentials("no-such-user-hearth", "secret"));
  EXPECT_EQ(platform::logon::GetLastLogonError(), platform::logon::kErrorLogonFailure);
}

TEST_F(PublicMembersTest, LocalAccountWithTheRightPasswordIsValid) {
  testing_support::LocalAccount account;
  REQUIRE_LOCAL_ACCOUNT(account);
  std::vector<Variant> args{Variant(account.name()), Variant(testing_support::LocalAccount::kPassword)};
  EXPECT_TRUE(platform::CBool(app_->Invoke("ValidateWindowsUserCredentials", args)));
  EXPECT_FALSE(app_->ValidateWindowsUserCredentials(account.name(), "wrong"));
  // The password never reaches the log.
  for (const std::string& message : LogMessages()) {
    EXPECT_EQ(message.find(testing_support::LocalAccount::kPassword), std::string::npos) << message;
  }
}

struct FixedVersion : contracts::VersionService {
  FixedVersion(int major, int minor, int revision) : major_(major), minor_(minor), revision_(revision) {}
  std::string VersionText() override { return "x"; }
  std::string BuildText() override { return "y"; }
  int Major() override { return major_; }
  int Minor() override { return minor_; }
  int Revision() override { return revision_; }
  int major_, minor_, revision_;
};

TEST_F(PublicMembersTest, VersionText) {
  struct Case {
    int major, minor, revision;
    const char* text;
  };
  for (const Case& c : {Case{2, 1, 7, " 2.01.007"}, Case{10, 12, 345, " 10.12.345"}, Case{0, 0, 0, " 0.00.000"}}) {
    contracts::ScopedSupportOverride<contracts::VersionService> fixed(
        std::make_shared<FixedVersion>(c.major, c.minor, c.revision));
    EXPECT_EQ(app_->version(), c.text);
    EXPECT_EQ(platform::CStr(app_->Invoke("version")), c.text);
  }
}

TEST_F(PublicMembersTest, LateBoundMembersAndTheirAnswersWithoutPlugins) {
  StartWithUser("S-7");
  EXPECT_EQ(platform::CStr(app_->Invoke("CurrentUserSID")), "S-7");
  EXPECT_EQ(platform::com::ObjectOf(app_->Invoke("SystemSettings")), system_);
  EXPECT_EQ(platform::com::ObjectOf(app_->Invoke("usersettings")), user_);

  std::vector<Variant> fso{Variant("ignored"), Variant(int32_t{42})};
  EXPECT_EQ(platform::CLng(app_->Invoke("GetFSO", fso)), 0);
  EXPECT_TRUE(fso[1].IsObject());

  EXPECT_TRUE(app_->Invoke("GetIoNotify").IsNothing());
  EXPECT_TRUE(app_->Invoke("DnsResolver").IsNothing());
  EXPECT_TRUE(app_->Invoke("GetUpdateInfo", {Variant("a")}).IsNothing());
  EXPECT_TRUE(app_->Invoke("IoGetFeaturePluginData", {Variant("Some.Plugin")}).IsNothing());
  EXPECT_FALSE(platform::CBool(app_->Invoke("IoGetFeaturePluginStatus", {Variant("Some.Plugin")})));
  EXPECT_FALSE(platform::CBool(app_->Invoke("IoGetFeaturePluginStatus", {Variant("Some.Plugin"), Variant("sub")})));

  app_->Invoke("GuiShutdown");
  EXPECT_EQ(Notifications(), 1u);

  // The internal operations are not reachable late bound.
  for (const char* internal : {"Startup", "Shutdown", "SaveAllSettings", "SetCurrentUserSID"}) {
    EXPECT_FALSE(app_->HasMember(internal)) << internal;
  }
}

TEST_F(PublicMembersTest, EventsCarryTheirDispatchIdentifiers) {
  std::vector<std::string> by_id;
  platform::com::ConnectEvents(app_, [&](const platform::com::EventCall& event, platform::com::Args) {
    by_id.push_back(std::to_string(event.id));
  });
  StartWithUser();
  system_->SetValue("sys.note", Variant("x"));
  user_->SetValue("user.note", Variant("y"));
  app_->SettingsChanged(false);
  app_->Shutdown();
  EXPECT_EQ(by_id, (std::vector<std::string>{"1", "5", "4", "2"}));
  EXPECT_EQ(kDispIdOnUserSwitch, 3);
}

}  // namespace
}  // namespace service
