// The module's per-thread state and the small helpers its routines share.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <string>
#include <string_view>

#include "contracts/imdb_component.h"
#include "platform/basic/variant.h"

namespace alerts {

struct AlertState {
  // Empty until the thread's first operation opens it.
  std::shared_ptr<contracts::ImdbComponent> connection;
  std::string database_path;
  // Set while OpenGDB runs its probe, so the open of a rebuild skips it.
  bool rebuild_guard = false;
  // The message of the last row WriteLogEntry attempted on this thread.
  std::string last_log_message;
  // Set by a failed probe when the engine says the file is damaged or is not
  // a store (its tables missing); clear when the file is only unusable for
  // now (no descriptors, an I/O error, a lock held too long).
  bool probe_found_damage = false;
};

// This thread's state.
AlertState& State();

// The thread's connection; raises 91 when there is none.
contracts::ImdbComponent& Connection();

// The profile folder of the shared state (common files + "/Norvale/QORC/prf").
std::string ProfileFolder();

// A line of the system log.
void Log(std::string_view message);

// Inserts one row of `fields` (column number, value) into `table`. When the
// store is full, room is made (MakeRoom) and the insert tried again, for as
// long as there is something to remove. True when the row was inserted; the
// new row's COUNTER value in `counter` (when given). A failure stays the
// pending error.
bool InsertMakingRoom(std::string_view table, std::span<const std::pair<int, platform::Variant>> fields,
                      int32_t* counter);

// Removes the least needed rows of a full store, one batch of the first kind
// there is: log entries (oldest first), then alerts marked deleted, then
// processed alerts (oldest first); for a new alert (`for_alert`), at last
// the oldest unprocessed alert, one at a time, each named in the log (id,
// store, summary). Logs what it removed; false when there was nothing to
// remove.
bool MakeRoom(bool for_alert);

}  // namespace alerts
