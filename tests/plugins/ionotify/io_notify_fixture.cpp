#include "io_notify_fixture.h"

#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/product_key.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "platform/registry/registry_types.h"
#include "plugins/ionotify/register_io_notify.h"
#include "plugins/notify/shared_io_notify.h"

namespace plugins::ionotify::testing {

using platform::Variant;
using platform::com::Args;

const platform::com::DispatchTable* FakeApplication::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<FakeApplication>({
      {"SettingsChanged", platform::com::ArgRange{0, 1},
       [](FakeApplication& self, Args args) { self.settings_changed.push_back(platform::CBool(args[0])); }},
      {"IoGetFeaturePluginStatus", platform::com::ArgRange{1, 2},
       [](FakeApplication&, Args args) { return platform::CStr(args[0]) == "Good.Plugin"; }},
  });
  return &table;
}

void RecordingLauncher::Launch(const std::string& command_line) {
  launched.push_back(command_line);
  if (fail) platform::RaiseError(platform::kErrFileNotFound, "Launcher: cannot start it", "Launcher");
}

bool RecordingLauncher::LaunchShell(const std::string& command_line) {
  shell_lines.push_back(command_line);
  return !fail;
}

const platform::com::DispatchTable* FakePluginHost::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<FakePluginHost>({
      {"DoNotify", 3,
       [](FakePluginHost& self, Args args) {
         self.calls.push_back({platform::CStr(args[0]), args[1], args[2]});
         if (platform::CStr(args[0]) == "GetScheduleEvent") args[2] = Variant(self.answer);
       }},
  });
  return &table;
}

IoNotifyTest::IoNotifyTest() {
  RegisterIoNotify();
  ActionEffects effects;
  effects.run_shell = [this](const std::string& command) {
    effects_.push_back("shell:" + command);
    return true;
  };
  effects.sync_users = [this](const platform::xml::Node& element) {
    effects_.push_back("syncusers:" + element.GetAttribute("adminusersid"));
  };
  effects.dump_alert_store = [this] { effects_.push_back("dump"); };
  effects.reset_branding = [this] { effects_.push_back("resetbranding"); };
  effects.write_uninstall_entry = [this] { effects_.push_back("uninstallentry"); };
  effects.synchronize_time = [this] { effects_.push_back("synctime"); };
  effects.clear_av_scan_history = [this] { effects_.push_back("clearav"); };
  effects.clear_as_scan_history = [this] { effects_.push_back("clearas"); };
  effects.clear_firewall_logs = [this] { effects_.push_back("clearfw"); };
  effects_scope_ = std::make_unique<ScopedActionEffects>(std::move(effects));
}

IoNotifyTest::~IoNotifyTest() {
  effects_scope_.reset();
  SetIoNotifyFactory({});
  SetSecureLogSync({});
}

void IoNotifyTest::Run(const std::function<void(cIoNotify& io)>& body, int trace_level) {
  auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
  ASSERT_TRUE(registry->CreateKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey,
                                  contracts::kRegistryFullAccess));
  registry->WriteString("TraceLevel", std::to_string(trace_level));
  logged_.clear();
  init_testing::RunOnFreshThread([&] {
    InstallSystem();
    service::SetApplicationObject(application_);
    const size_t before = init_testing::SystemLogMessages().size();
    auto io = platform::com::QueryInterface<cIoNotify>(GetSharedIoNotify());
    ASSERT_NE(io, nullptr);
    body(*io);
    ReleaseSharedIoNotify();
    io.reset();
    service::SetApplicationObject(nullptr);
    std::vector<std::string> all = init_testing::SystemLogMessages();
    logged_.assign(all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end());
  });
}

std::string IoNotifyTest::Act(cIoNotify& io, std::string message) {
  io.DoXMLAction(message);
  return message;
}

bool IoNotifyTest::LoggedLine(const std::string& line) const { return CountLogged(line) > 0; }

int IoNotifyTest::CountLogged(const std::string& line) const {
  int count = 0;
  for (const std::string& message : logged_) count += message == line ? 1 : 0;
  return count;
}

}  // namespace plugins::ionotify::testing
