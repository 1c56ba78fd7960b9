// The time component: asks the machine's time service for a clock
// synchronisation, without waiting for it.
//
// The command that does it is the machine configuration's "TimeSyncCommand"
// (run through /bin/sh, detached); set to nothing ("TimeSyncCommand =") the
// component synchronises nothing. Not configured, it uses what the machine
// has: chrony ("chronyc -a makestep"), else systemd-timesyncd (a restart,
// which makes it query its servers at once).
#pragma once

#include <string>

#include "contracts/time_component.h"

namespace support {

class TimeComponent : public contracts::TimeComponent {
 public:
  bool SynchronizeTime() override;
};

// The command line SynchronizeTime runs; empty when there is none.
std::string TimeSyncCommand();

}  // namespace support
