// A local account with a known password for the life of a test. Creating it
// needs root (CI runs as root); elsewhere `created()` is false and
// `why_not()` says why, for the test's skip message. The application tests
// use it too.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace testing_support {

class LocalAccount {
 public:
  static constexpr char kPassword[] = "Corr3ct horse:battery";

  LocalAccount() : name_("hlogon" + std::to_string(getpid())) {
    if (geteuid() != 0) {
      why_not_ = "creating a local account needs root";
      return;
    }
    if (!Retry("useradd --no-create-home --shell /usr/sbin/nologin " + name_ + " >/dev/null 2>&1") ||
        !Retry("echo '" + name_ + ":" + kPassword + "' | chpasswd >/dev/null 2>&1")) {
      why_not_ = "useradd/chpasswd failed";
      Retry("userdel " + name_ + " >/dev/null 2>&1");
      return;
    }
    created_ = true;
  }
  ~LocalAccount() {
    if (created_) Retry("userdel " + name_ + " >/dev/null 2>&1");
  }
  LocalAccount(const LocalAccount&) = delete;
  LocalAccount& operator=(const LocalAccount&) = delete;

  // Runs a command line until it exits 0: the account tools refuse while
  // another process holds the account files' lock.
  static bool Retry(const std::string& command) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int status = std::system(command.c_str());
      if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
      usleep(100 * 1000);
    }
    return false;
  }

  const std::string& name() const { return name_; }
  bool created() const { return created_; }
  const std::string& why_not() const { return why_not_; }

 private:
  std::string name_;
  bool created_ = false;
  std::string why_not_;
};

}  // namespace testing_support

// Skips the test, with the reason, when the account could not be made.
#define REQUIRE_LOCAL_ACCOUNT(account) \
  if (!(account).created()) GTEST_SKIP() << "skipped: " << (account).why_not()
