// What the lifecycle tests share: a fresh root, a host that records what the
// service asks of it, a service whose stop can be held open, fake branding,
// and the system log read back as its messages.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "contracts/service_host.h"
#include "contracts/support_objects.h"
#include "contracts/user_list.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "platform/root/machine_root.h"
#include "service/lifecycle/service.h"
#include "settings/shared/shared_settings.h"
#include "test_host.h"
#include "testing/log_messages.h"
#include "testing/rooted/rooted_test.h"
#include "testing/temp_root.h"

namespace service {

// A branding resolver whose Initialise fails, to see the "Err=" lines.
class FailingBranding : public contracts::BrandingResolver {
 public:
  void Initialise() override { platform::RaiseError(53, "branding.xml is missing"); }
  void Reset() override {}
  void SwitchBrand(const std::string&) override {}
  std::string ActiveBrand() override { return ""; }
  std::string Expand(const std::string& text, const std::string&) override {
    return text == "%%PRODUCTNAMESHORT" ? "Testbrand" : text;
  }
  std::string LookupString(const std::string&, const std::string& fallback) override { return fallback; }
  platform::xml::NodeList LookupNodes(const std::string&) override { return {}; }
  std::string ConfigurationXml(const std::string&, const std::string&) override { return ""; }
};

// A user list that cannot be read: SyncUsers inside Init fails with 70.
class DeniedUserList : public contracts::UserList {
 public:
  std::vector<contracts::UserRecord> Users(const std::string&) override {
    platform::RaiseError(platform::kErrPermissionDenied);
  }
};

class LifecycleTest : public testing_support::RootedTest {
 protected:
  void WriteMachineConfig(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }
  std::filesystem::path LogPath() const { return root_ / "commonfiles/Norvale/QORC/log/hearth.log"; }

  // The messages of the current log, without their time stamp and tick.
  std::vector<std::string> LogMessages() const { return testing_support::LogFileMessages(LogPath()); }

  // Runs the scenario on a new thread: the lifecycle's state is per thread,
  // so every scenario starts from a thread that never ran start-up.
  static void OnNewThread(const std::function<void()>& scenario) { std::thread(scenario).join(); }

};

// Installs collections on this thread first, as start-up's initialisation
// does, so that a start does not fail for want of them.
inline void InstallCollections() {
  settings::SetSystemSettings(std::make_shared<settings::cSettings>());
  settings::SetUserSettings(std::make_shared<settings::cSettings>());
}

// The local date and time as the time-stamped start lines show it.
inline const char* kGeneralDatePattern = R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)?)";

// The text as a regular expression that matches exactly it.
std::string Literal(std::string_view text);

// `expected` appear in `messages` in this order (other lines may come between).
// Each expected text is a regular expression matched against a whole message.
::testing::AssertionResult AppearInOrder(const std::vector<std::string>& messages,
                                         const std::vector<std::string>& expected);

// How many messages match the expression.
size_t CountMatching(const std::vector<std::string>& messages, const std::string& pattern);

}  // namespace service
