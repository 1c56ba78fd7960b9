#include "init_test_support.h"

#include <thread>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/root/machine_root.h"
#include "systemlog/system_log.h"
#include "testing/log_messages.h"

namespace init_testing {

std::vector<std::string> SystemLogMessages() { return testing_support::LogFileMessages(service::SystemLogPath()); }

std::string Text(const settings::SettingsPtr& settings, const std::string& name) {
  return platform::CStr(settings->GetValue(name));
}

int FindMessage(const std::vector<std::string>& messages, const std::string& message, int from) {
  for (int i = from; i < static_cast<int>(messages.size()); ++i) {
    if (messages[i] == message) return i;
  }
  return -1;
}

int FindMessageEnding(const std::vector<std::string>& messages, const std::string& suffix, int from) {
  for (int i = from; i < static_cast<int>(messages.size()); ++i) {
    const std::string& m = messages[i];
    if (m.size() >= suffix.size() && m.compare(m.size() - suffix.size(), suffix.size(), suffix) == 0) return i;
  }
  return -1;
}

void RunOnFreshThread(const std::function<void()>& body) {
  std::thread thread([&] {
    body();
    contracts::Support().Reset();
  });
  thread.join();
}

std::vector<contracts::UserRecord> FakeUserList::Users(const std::string&) {
  if (fail) platform::RaiseError(platform::kErrPathFileAccess, "user list unavailable", "FakeUserList");
  return records;
}

contracts::UserRecord User(const std::string& sid, const std::string& user_id, const std::string& name) {
  contracts::UserRecord record;
  record.SID = sid;
  record.UserID = user_id;
  record.FriendlyName = name;
  return record;
}

InitTest::InitTest() { platform::SetMachineRoot(root_.path()); }

InitTest::~InitTest() { platform::SetMachineRoot({}); }

void InitTest::WriteMachineConfig(const std::string& text) {
  testing_support::WriteFileBytes(root_ / "machine.conf", text);
}

settings::SettingsPtr InitTest::InstallSystem(const std::vector<std::pair<std::string, std::string>>& values) {
  auto system = std::make_shared<settings::cSettings>();
  for (const auto& [name, value] : values) system->SetValue(name, platform::Variant(value));
  settings::SetSystemSettings(system);
  settings::SetUserSettings(std::make_shared<settings::cSettings>());
  return system;
}

settings::SettingsPtr InitTest::LoadStored(const std::string& sid) {
  auto loaded = std::make_shared<settings::cSettings>();
  loaded->CreateSnapshotFromStored(sid);
  if (platform::CStr(loaded->GetValue("uncorrupted")) != "Definitely") return nullptr;
  return loaded;
}

std::string InitTest::ProfileFolder() const { return root_.str() + "/commonfiles/Norvale/QORC/prf"; }

}  // namespace init_testing
