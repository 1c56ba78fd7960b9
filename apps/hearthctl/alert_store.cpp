#include "alert_store.h"

#include <string>

#include "alerts/mod_alert.h"
#include "systemlog/system_log.h"

namespace hearthctl {

bool AlertStoreUsable(const Command& self, Io& io, int* exit_code) {
  if (alerts::CheckIMDBObject()) return true;
  *exit_code = Report(io, self,
                      "the alert store " + alerts::AlertDatabasePath() + " cannot be used (details in " +
                          service::SystemLogPath() + ")",
                      kExitFailure);
  return false;
}

}  // namespace hearthctl
