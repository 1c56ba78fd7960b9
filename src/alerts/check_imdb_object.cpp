// The health check every operation makes before touching the store.
#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "platform/basic/err.h"

namespace alerts {

bool VerifyAlertStore() {
  bool usable = true;
  for (std::string_view probe : {kProbeAlerts, kProbeLogEntries, kProbeLogSettings}) {
    bool valid = false;
    if (!platform::Step([&] { valid = Connection().Check(probe); }) || !valid) usable = false;
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
    if (!usable) Log("CheckIMDBObject found corrupted alert store. Will be deleted and rebuild from scratch");
  }
  if (usable) return true;
  state.connection.reset();
  OpenGDB();
  return VerifyAlertStore();
}

}  // namespace alerts
