// A full store keeps taking alerts and log entries: the size limit is a cap
// the engine enforces, so room is made by removing what is least needed, and
// at last the oldest unprocessed alert, one at a time.
#include <string>

#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "contracts/imdb_component.h"
#include "platform/basic/err.h"

namespace alerts {
namespace {

using platform::Err;
using platform::Step;
using platform::Variant;

// Rows removed per round: enough that a full store does not make room at
// every insert, few enough that little is lost at a time.
constexpr int32_t kRoomBatch = 32;

struct RoomRound {
  const char* sql;
  const char* what;  // for the log line
};

// In the order they are given up.
constexpr RoomRound kRounds[] = {
    {"DELETE FROM LogEntries WHERE rowid IN "
     "(SELECT rowid FROM LogEntries ORDER BY LogDateTime, rowid LIMIT ?)",
     "oldest log entries"},
    {"DELETE FROM Alerts WHERE AlertIndex IN "
     "(SELECT AlertIndex FROM Alerts WHERE Tag='(DELETED)' ORDER BY AlertIndex LIMIT ?)",
     "alerts marked deleted"},
    {"DELETE FROM Alerts WHERE AlertIndex IN "
     "(SELECT AlertIndex FROM Alerts WHERE (UserProc<>0 OR SysProc<>0) AND (Tag IS NULL OR Tag<>'(DELETED)') "
     "ORDER BY AlertIndex LIMIT ?)",
     "oldest processed alerts"},
};

// The last resort, when everything above is gone: the oldest alert still
// waiting to be processed. A new alert matters more than the oldest one, and
// each one given up is written to the system log so nothing vanishes
// unrecorded.
bool RemoveOldestUnprocessed(contracts::ImdbComponent& db) {
  bool found = false;
  int32_t index = 0;
  std::string line;
  Step([&] {
    db.Execute("SELECT * FROM Alerts ORDER BY AlertIndex LIMIT 1");
    if (!db.MoveFirst()) return;
    found = true;
    index = db.GetFieldLong(kColAlertIndex);
    line = "MakeRoom - alert store is full of unprocessed alerts; removed alert " + std::to_string(index) +
           " (id '" + db.GetFieldText(kColAlertId) + "', store '" + db.GetFieldText(kColStore) +
           "'): " + db.GetFieldText(kColSummary);
  });
  Step([&] { db.CloseResult(); });
  if (!found) return false;
  int32_t removed = 0;
  Step([&] {
    db.Execute("DELETE FROM Alerts WHERE AlertIndex=?", {Variant(index)});
    removed = db.RowsChanged();
  });
  if (removed == 0) return false;
  Log(line);
  return true;
}

}  // namespace

bool MakeRoom(bool for_alert) {
  contracts::ImdbComponent& db = Connection();
  for (const RoomRound& round : kRounds) {
    int32_t removed = 0;
    Step([&] {
      db.Execute(round.sql, {Variant(kRoomBatch)});
      removed = db.RowsChanged();
    });
    if (removed > 0) {
      Log("MakeRoom - alert store is full; removed " + std::to_string(removed) + " " + round.what);
      return true;
    }
  }
  // A log entry never costs an alert.
  if (for_alert && RemoveOldestUnprocessed(db)) return true;
  Log("MakeRoom - alert store is full and holds nothing that may be removed");
  return false;
}

bool InsertMakingRoom(std::string_view table, std::span<const std::pair<int, Variant>> fields, int32_t* counter) {
  for (;;) {
    contracts::ImdbComponent& db = Connection();
    // No structured bindings captured: clang before 16 refuses them.
    for (const auto& field : fields) Step([&] { db.SetField(field.first, field.second); });
    int32_t inserted = 0;
    if (Step([&] { inserted = db.InsertRow(table); })) {
      if (counter) *counter = inserted;
      return true;
    }
    if (Err::Number() != contracts::kErrImdbFull) return false;
    // The failed insert stays the pending error when nothing can go.
    const int32_t number = Err::Number();
    const std::string description = Err::Description();
    if (!MakeRoom(table == kAlertsTable)) {
      Err::Set(number, description, contracts::kImdbProgId);
      return false;
    }
    Err::Clear();
  }
}

}  // namespace alerts
