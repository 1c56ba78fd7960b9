// The systemd unit of hearthd, built from the service's configuration
// answers (IdwEasyServConfig), as `hearthd --print-unit` writes it.
#pragma once

#include <cstdint>
#include <string>

#include "service/configuration/easy_serv_config.h"

namespace service {

// The wait limits the host hands to DefaultTimes, in milliseconds.
struct ServiceTimes {
  int32_t start_wait = 90000;
  int32_t stop_wait = 90000;
  int32_t pause_wait = 30000;
  int32_t continue_wait = 30000;
};

// How long hearthd lets a stop run before it leaves without it: within the
// unit's TimeoutStopSec, so the host says why before systemd kills it.
inline int32_t HostStopLimit(const ServiceTimes& times) { return times.stop_wait / 6 * 5; }

struct UnitOptions {
  std::string exec_path;  // the hearthd program the unit starts
  std::string root;       // a machine root for ExecStart's --root; empty: the default root
};

// The unit text:
// - Description= from GetDescription; Type=notify (READY=1 after the start);
// - RefuseManualStop=yes when ControlsAccepted lacks the stop bit (the
//   service then stops only at system shutdown, or on systemctl kill);
// - After= and Requires= from ServiceDependencies (names split at "/", ",",
//   ";" or blanks; a name without a dot is a ".service");
// - User= from ServiceAccount (empty: root);
// - TimeoutStartSec= and TimeoutStopSec= from DefaultTimes (seconds,
//   rounded up);
// - WantedBy=multi-user.target when AutoStart.
std::string SystemdUnit(IdwEasyServConfig& config, const UnitOptions& options);

// A word of ExecStart= quoted for systemd when it holds blanks, quotes,
// backslashes or "%" (a specifier).
std::string UnitQuote(const std::string& word);

}  // namespace service
