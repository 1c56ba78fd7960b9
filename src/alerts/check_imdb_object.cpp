// The health check every operation makes before touching the store.
#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "platform/basic/err.h"

namespace alerts {

bool VerifyAlertStore() {
  AlertState& state = State();
  bool usable = true;
  state.probe_found_damage = false;
  for (std::string_view probe : {kProbeAlerts, kProbeLogEntries, kProbeLogSettings}) {
    bool valid = false;
    if (!platform::Step([&] { valid = Connection().Check(probe); }) || !valid) {
      usable = false;
      // Only the engine's word makes a file damaged; without a connection,
      // or with the file out of reach for now, it is not.
      if (state.connection && state.connection->LastFailure() != contracts::ImdbFailure::kTransient) {
        state.probe_found_damage = true;
      }
    }
  }
  return usable;
}

bool CheckIMDBObject() {
  platform::Err::Clear();
  AlertState& state = State();
  bool had_connection = state.connection != nullptr;
  bool usable = false;
  if (had_connection) {
    usable = VerifyAlertStore();
    if (!usable && state.probe_found_damage) {
      Log("CheckIMDBObject found corrupted alert store. Will be deleted and rebuild from scratch");
    } else if (!usable) {
      Log("CheckIMDBObject: alert store not usable now (" + platform::Err::Description() + "); opening it again");
    }
  }
  if (usable) return true;
  state.connection.reset();
  OpenGDB();
  return VerifyAlertStore();
}

}  // namespace alerts
