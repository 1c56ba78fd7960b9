#include "plugins/ionotify/action_effects.h"

#include <mutex>

#include "alerts/mod_alert.h"
#include "contracts/service_chores.h"
#include "contracts/support_objects.h"
#include "settings/users/maintenance_actions.h"
#include "settings/users/sync_users.h"

namespace plugins::ionotify {
namespace {

std::mutex effects_mutex;

ActionEffects& Effects() {
  static ActionEffects* effects = new ActionEffects(RealActionEffects());
  return *effects;
}

}  // namespace

ActionEffects RealActionEffects() {
  ActionEffects effects;
  // The launcher starts it: under systemd in a transient unit of its own.
  effects.run_shell = [](const std::string& command_line) {
    std::shared_ptr<contracts::Launcher> launcher = contracts::CreateSupportObject<contracts::Launcher>();
    return launcher != nullptr && launcher->LaunchShell(command_line);
  };
  effects.sync_users = [](const platform::xml::Node& element) { settings::SyncUsers(element); };
  effects.dump_alert_store = [] { alerts::DumpAlertStore(); };
  effects.reset_branding = [] {
    auto branding = contracts::Support().Branding();
    branding->Reset();
    branding->Initialise();
  };
  effects.write_uninstall_entry = [] { contracts::WriteUninstallEntry(); };
  effects.synchronize_time = [] { settings::SynchronizeTime(); };
  effects.clear_av_scan_history = [] { settings::ClearAvScanHistory(); };
  effects.clear_as_scan_history = [] { settings::ClearAsScanHistory(); };
  effects.clear_firewall_logs = [] { settings::ClearFirewallLogs(); };
  return effects;
}

ActionEffects CurrentActionEffects() {
  std::lock_guard lock(effects_mutex);
  return Effects();
}

void SetActionEffects(ActionEffects effects) {
  std::lock_guard lock(effects_mutex);
  Effects() = std::move(effects);
}

ScopedActionEffects::ScopedActionEffects(ActionEffects effects) : previous_(CurrentActionEffects()) {
  SetActionEffects(std::move(effects));
}

ScopedActionEffects::~ScopedActionEffects() { SetActionEffects(std::move(previous_)); }

}  // namespace plugins::ionotify
