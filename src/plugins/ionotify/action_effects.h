// What the XML actions do to the machine outside the system's own state:
// run a shell command, synchronise users, export the alert store, reset the
// branding, synchronise the clock, delete scan histories and firewall logs.
// The real effects are the default; a caller that must not touch the machine
// (the fuzz target, a test) puts in its own for a while.
#pragma once

#include <functional>
#include <string>

#include "platform/xml/node.h"

namespace plugins::ionotify {

struct ActionEffects {
  // Starts the command line hidden, not waiting; false when it could not.
  std::function<bool(const std::string& command_line)> run_shell;
  std::function<void(const platform::xml::Node& element)> sync_users;
  std::function<void()> dump_alert_store;
  // The branding resolver's reset and initialisation.
  std::function<void()> reset_branding;
  // Writes the uninstall entry with its branded names again.
  std::function<void()> write_uninstall_entry;
  std::function<void()> synchronize_time;
  std::function<void()> clear_av_scan_history;
  std::function<void()> clear_as_scan_history;
  std::function<void()> clear_firewall_logs;
};

ActionEffects RealActionEffects();
// The effects in force (process-wide).
ActionEffects CurrentActionEffects();
void SetActionEffects(ActionEffects effects);

// Puts `effects` in force while it lives.
class ScopedActionEffects {
 public:
  explicit ScopedActionEffects(ActionEffects effects);
  ~ScopedActionEffects();
  ScopedActionEffects(const ScopedActionEffects&) = delete;
  ScopedActionEffects& operator=(const ScopedActionEffects&) = delete;

 private:
  ActionEffects previous_;
};

}  // namespace plugins::ionotify
