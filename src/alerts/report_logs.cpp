// The report logs: WriteLogEntry with its repeat test, and the Privacy
// report.
#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"

namespace alerts {

using platform::Err;
using platform::Step;
using platform::Variant;

void WriteLogEntry(const std::string& log_name, uint8_t severity, const std::string& message) {
  AlertState& state = State();
  // Only the text counts: the same message under another name or severity
  // right after it is dropped too.
  if (message == state.last_log_message) return;
  state.last_log_message = message;
  if (!CheckIMDBObject()) return;
  // Through the text form and back: the stamp keeps whole seconds.
  double now = 0;
  Step([&] { now = platform::CDate(Variant(platform::CStr(Variant::Date(platform::Now())))); });
  const std::pair<int, Variant> fields[] = {
      {kColLogName, Variant(log_name)},
      {kColLogDateTime, Variant(now)},
      {kColLogSeverity, Variant(static_cast<int32_t>(severity))},
      {kColLogMessage, Variant(message)},
  };
  InsertMakingRoom(kLogEntriesTable, fields, nullptr);
}

std::string GetPrivacyReport() {
  if (!CheckIMDBObject()) return {};
  contracts::ImdbComponent& db = Connection();
  bool ran = false;
  Step([&] { ran = db.Execute(kSelectPrivacyLog); });
  if (!ran) return {};
  std::string report;
  int32_t count = 0;
  Step([&] { count = db.RowCount(); });
  if (count > 0) {
    Step([&] { db.MoveFirst(); });
    for (int32_t i = 0; i < count; ++i) {
      Step([&] {
        double when = db.GetFieldDouble(kColLogDateTime);
        std::string entry = platform::FormatShortDate(when) + " " + platform::FormatLongTime(when) + "\t" +
                            std::to_string(db.GetFieldLong(kColLogSeverity)) + "\t" +
                            db.GetFieldText(kColLogMessage);
        if (i > 0) report += '\x01';
        report += entry;
      });
      Step([&] { db.MoveNext(); });
    }
  }
  Step([&] { db.CloseResult(); });
  return report;
}

}  // namespace alerts
