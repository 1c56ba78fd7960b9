// Test helpers shared by the start-up, user synchronisation, uninstall check
// and notification tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "settings/shared/shared_settings.h"
#include "testing/temp_root.h"

namespace init_testing {

// The messages of the system log, in order, without the time and tick in
// front of each.
std::vector<std::string> SystemLogMessages();

// A setting's value as text.
std::string Text(const settings::SettingsPtr& settings, const std::string& name);

// The index of the first message equal to `message` at or after `from`; -1
// when there is none.
int FindMessage(const std::vector<std::string>& messages, const std::string& message, int from = 0);
// The same for the first message that ends with `suffix`.
int FindMessageEnding(const std::vector<std::string>& messages, const std::string& suffix, int from = 0);

// Runs `body` on a new thread (with its own shared state) and waits for it.
void RunOnFreshThread(const std::function<void()>& body);

// A user list whose answer the test sets; `fail` makes it raise.
class FakeUserList : public contracts::UserList {
 public:
  std::vector<contracts::UserRecord> Users(const std::string& filter) override;

  std::vector<contracts::UserRecord> records;
  bool fail = false;
};

contracts::UserRecord User(const std::string& sid, const std::string& user_id, const std::string& name);

// A fresh machine root, a fake user list and a fresh thread per scenario.
class InitTest : public ::testing::Test {
 protected:
  InitTest();
  ~InitTest() override;

  void WriteMachineConfig(const std::string& text);
  // A system collection installed on the calling thread (and an empty user
  // collection), holding the given values.
  settings::SettingsPtr InstallSystem(const std::vector<std::pair<std::string, std::string>>& values = {});
  // The stored file of `sid` ("" for the system collection) loaded into a new
  // collection; nullptr when it does not load.
  settings::SettingsPtr LoadStored(const std::string& sid);
  std::string ProfileFolder() const;

  testing_support::TempRoot root_;
  std::shared_ptr<FakeUserList> users_ = std::make_shared<FakeUserList>();

 private:
  contracts::ScopedSupportOverride<contracts::UserList> use_users_{users_};
};

}  // namespace init_testing
