// DumpAlertStore: the three tables as delimited text at the machine root.
#include "alerts/alert_state.h"
#include "alerts/mod_alert.h"
#include "platform/basic/err.h"
#include "platform/root/machine_root.h"

namespace alerts {

void DumpAlertStore() {
  if (!CheckIMDBObject()) return;
  const std::filesystem::path root = platform::MachineRoot();
  for (const char* table : {"Alerts", "LogEntries", "LogSettings"}) {
    platform::Step([&] { Connection().ExportTable(table, root / (std::string(table) + ".csv"), ',', '\n'); });
    platform::Step([&] { Connection().ExportTable(table, root / (std::string(table) + ".txt"), '|', '\n'); });
  }
}

}  // namespace alerts
