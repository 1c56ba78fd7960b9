// The module's per-thread state and the small helpers its routines share.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "support/imdb/imdb.h"

namespace alerts {

struct AlertState {
  // Empty until the thread's first operation opens it.
  std::shared_ptr<support::Imdb> connection;
  std::string database_path;
  // Set while OpenGDB runs its probe, so the open of a rebuild skips it.
  bool rebuild_guard = false;
  // The message of the last row WriteLogEntry attempted on this thread.
  std::string last_log_message;
};

// This thread's state.
AlertState& State();

// The thread's connection; raises 91 when there is none.
support::Imdb& Connection();

// The profile folder of the shared state (common files + "/Norvale/QORC/prf").
std::string ProfileFolder();

// A line of the system log.
void Log(std::string_view message);

}  // namespace alerts
