// LogonUserA against a real local account. Creating the account needs root
// (CI runs as root); elsewhere those cases skip and say why.
#include "platform/logon/logon_user.h"

#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "platform/logon/local_account.h"
#include "platform/logon/local_accounts.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace platform::logon {
namespace {

using testing_support::LocalAccount;
constexpr const char* kPassword = LocalAccount::kPassword;

class LogonUserTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMachineRoot(root_.path()); }
  void TearDown() override { SetMachineRoot({}); }
  testing_support::TempRoot root_;
};

TEST_F(LogonUserTest, RightPasswordLogsOnAndTheTokenCloses) {
  LocalAccount account;
  REQUIRE_LOCAL_ACCOUNT(account);
  TokenHandle token;
  ASSERT_TRUE(LogonUserA(account.name(), ".", kPassword, kLogon32LogonNetwork, kLogon32ProviderDefault, &token));
  EXPECT_EQ(GetLastLogonError(), kErrorSuccess);
  ASSERT_NE(token, nullptr);
  EXPECT_EQ(token->user, account.name());
  EXPECT_EQ(token->logon_type, kLogon32LogonNetwork);
  EXPECT_TRUE(CloseHandle(token));
  EXPECT_EQ(token, nullptr);
  // The empty domain and the host name also mean this machine.
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_TRUE(LogonUserA(account.name(), "", kPassword, kLogon32LogonNetwork, kLogon32ProviderDefault, nullptr));
  EXPECT_TRUE(LogonUserA(account.name(), host, kPassword, kLogon32LogonNetwork, kLogon32ProviderDefault, nullptr));
}

TEST_F(LogonUserTest, WrongPasswordsAndStrangeTextsAreRefused) {
  LocalAccount account;
  REQUIRE_LOCAL_ACCOUNT(account);
  struct Case {
    std::string password;
    uint32_t error;
  };
  const Case cases[] = {
      {"wrong", kErrorLogonFailure},
      {"", kErrorAccountRestriction},
      {std::string(kPassword) + std::string(1, '\0') + "tail", kErrorLogonFailure},
  };
  for (const Case& c : cases) {
    TokenHandle token = std::make_shared<LogonToken>();
    EXPECT_FALSE(LogonUserA(account.name(), ".", c.password, kLogon32LogonNetwork, kLogon32ProviderDefault, &token))
        << c.password.size();
    EXPECT_EQ(GetLastLogonError(), c.error) << c.password.size();
    EXPECT_EQ(token, nullptr);
  }
  // Letter case counts in account names.
  std::string upper = account.name();
  upper[0] = 'H';
  EXPECT_FALSE(LogonUserA(upper, ".", kPassword, kLogon32LogonNetwork, kLogon32ProviderDefault, nullptr));
}

// The fault this guards against is itself a sleep: libpam waits out the delay
// the password module asks for after a failure (pam_unix asks 2 s) unless the
// caller takes the delay over. Hence a bound on time here, a generous one.
TEST_F(LogonUserTest, AWrongPasswordIsRefusedWithoutTheFailureDelay) {
  LocalAccount account;
  REQUIRE_LOCAL_ACCOUNT(account);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(LogonUserA(account.name(), ".", "wrong", kLogon32LogonNetwork, kLogon32ProviderDefault, nullptr));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(GetLastLogonError(), kErrorLogonFailure);
  EXPECT_LT(took, std::chrono::seconds(1)) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                                           << " ms";
  // The right password still works after a refusal.
  EXPECT_TRUE(LogonUserA(account.name(), ".", kPassword, kLogon32LogonNetwork, kLogon32ProviderDefault, nullptr));
}

TEST_F(LogonUserTest, AnExpiredAccountIsRefusedDespiteTheRightPassword) {
  LocalAccount account;
  REQUIRE_LOCAL_ACCOUNT(account);
  ASSERT_TRUE(LocalAccount::Retry("chage -E 0 " + account.name() + " >/dev/null 2>&1"));
  TokenHandle token;
  EXPECT_FALSE(LogonUserA(account.name(), ".", kPassword, kLogon32LogonNetwork, kLogon32ProviderDefault, &token));
  EXPECT_EQ(token, nullptr);
  // Which step notices (the password check or the account check) is the
  // password module's business.
  EXPECT_TRUE(GetLastLogonError() == kErrorAccountDisabled || GetLastLogonError() == kErrorLogonFailure)
      << GetLastLogonError();
}

TEST_F(LogonUserTest, ArgumentsThatNeedNoAccount) {
  struct Case {
    std::string user;
    std::string domain;
    uint32_t type;
    uint32_t provider;
    uint32_t error;
  };
  const Case cases[] = {
      {"nosuchuser-hearth", ".", kLogon32LogonNetwork, 0, kErrorLogonFailure},
      {"", ".", kLogon32LogonNetwork, 0, kErrorLogonFailure},
      {std::string(300, 'a'), ".", kLogon32LogonNetwork, 0, kErrorLogonFailure},
      {"root", "CORP", kLogon32LogonNetwork, 0, kErrorNoSuchDomain},
      {"root", ".", 8, 0, kErrorInvalidParameter},
      {"root", ".", kLogon32LogonNetwork, 1, kErrorInvalidParameter},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(LogonUserA(c.user, c.domain, "secret", c.type, c.provider, nullptr)) << c.user << "@" << c.domain;
    EXPECT_EQ(GetLastLogonError(), c.error) << c.user << "@" << c.domain;
  }
  TokenHandle empty;
  EXPECT_FALSE(CloseHandle(empty));
  EXPECT_EQ(GetLastLogonError(), kErrorInvalidHandle);
}

TEST_F(LogonUserTest, PamServiceComesFromTheMachineConfiguration) {
  EXPECT_EQ(PamServiceName(), "hearth");
  testing_support::WriteFileBytes(root_ / "machine.conf", "PamService = login\n");
  EXPECT_EQ(PamServiceName(), "login");
}

TEST(LocalAccountsTest, OnlyWholeNamesOfLocalEntriesCount) {
  testing_support::TempRoot root;
  const auto file = root / "passwd";
  testing_support::WriteFileBytes(file,
                                  "root:x:0:0:root:/root:/bin/bash\n"
                                  "ann:x:1000:1000:Ann,,,:/home/ann:/bin/bash\n"
                                  "+nisuser::::::\n"
                                  "broken line\n");
  EXPECT_TRUE(IsLocalAccount("root", file));
  EXPECT_TRUE(IsLocalAccount("ann", file));
  EXPECT_FALSE(IsLocalAccount("an", file));
  EXPECT_FALSE(IsLocalAccount("anne", file));
  EXPECT_FALSE(IsLocalAccount("nisuser", file));
  EXPECT_FALSE(IsLocalAccount("+nisuser", file));
  EXPECT_FALSE(IsLocalAccount("", file));
  EXPECT_FALSE(IsLocalAccount("root", root / "missing"));
}

}  // namespace
}  // namespace platform::logon
