// Outside bytes as an XML action message to cIoNotify.DoXMLAction, with every
// component that would act on the machine replaced by one that records: no
// program is run or launched, no file is deleted, the clock is not touched,
// the secure logs live in memory. Settings, alerts and filter alerts are the
// real code on a private root.
//
// What must hold: no error leaves DoXMLAction, every message gets a reply
// (empty for one that is not XML), and a launch or shell run is never asked
// for with an empty command line.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/private_root.h"
#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "plugins/ionotify/action_effects.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/plugin_hosts.h"
#include "settings/shared/shared_settings.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class RecordingLauncher : public contracts::Launcher {
 public:
  void Launch(const std::string& command_line) override { Check(!command_line.empty()); }
  bool LaunchShell(const std::string& command_line) override {
    Check(!command_line.empty());
    return true;
  }
};

// Secure logs in memory, bounded so that a long run stays small.
class MemorySecureLog : public contracts::SecureLog {
 public:
  void Open(const std::string& name, const std::string&) override {
    if (name.empty()) platform::RaiseError(platform::kErrInvalidCall, "no name");
    name_ = name;
  }
  std::string GetEntries(bool only_unread, bool mark_read) override {
    std::string text;
    for (size_t i = only_unread ? read_ : 0; i < entries_.size(); ++i) text += entries_[i] + "\r\n";
    if (mark_read) read_ = entries_.size();
    return text;
  }
  void Append(const std::string& entry) override {
    if (entries_.size() >= 64) entries_.clear(), read_ = 0;
    entries_.push_back(entry);
  }
  void Sync() override {}
  void Clear() override { entries_.clear(), read_ = 0; }

 private:
  std::string name_;
  std::vector<std::string> entries_;
  size_t read_ = 0;
};

class QuietApplication : public platform::com::Object {
 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<QuietApplication>({
        {"SettingsChanged", platform::com::ArgRange{0, 1}, [](QuietApplication&) {}},
        {"IoGetFeaturePluginStatus", platform::com::ArgRange{1, 2}, [](QuietApplication&) { return false; }},
    });
    return &table;
  }
};

void SetUpOnce() {
  static bool done = [] {
    fuzz_support::UsePrivateRoot("do_xml_action");
    plugins::ionotify::ActionEffects effects;
    effects.run_shell = [](const std::string& command_line) {
      Check(!command_line.empty());
      return true;
    };
    effects.sync_users = [](const platform::xml::Node&) {};
    effects.dump_alert_store = [] {};
    effects.reset_branding = [] {};
    effects.write_uninstall_entry = [] {};
    effects.synchronize_time = [] {};
    effects.clear_av_scan_history = [] {};
    effects.clear_as_scan_history = [] {};
    effects.clear_firewall_logs = [] {};
    plugins::ionotify::SetActionEffects(std::move(effects));
    contracts::SetSupportFactory<contracts::Launcher>([] { return std::make_shared<RecordingLauncher>(); });
    contracts::SetSupportFactory<contracts::SecureLog>([] { return std::make_shared<MemorySecureLog>(); });
    plugins::ionotify::SetPluginHostLookup([](std::string_view) { return platform::com::ObjectPtr(); });
    service::SetApplicationObject(std::make_shared<QuietApplication>());
    return true;
  }();
  (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  // Fresh collections and a fresh object for each message: nothing grows
  // from one input to the next.
  settings::SetSystemSettings(std::make_shared<settings::cSettings>());
  settings::SetUserSettings(std::make_shared<settings::cSettings>());
  std::string message(reinterpret_cast<const char*>(data), size);
  try {
    auto io = std::make_shared<plugins::ionotify::cIoNotify>();
    io->DoXMLAction(message);
    std::vector<platform::Variant> args{platform::Variant(std::string(reinterpret_cast<const char*>(data), size))};
    io->Invoke("DoXMLAction", args);
    Check(args[0].IsString());
  } catch (...) {
    __builtin_trap();
  }
  platform::Err::Clear();
  return 0;
}
