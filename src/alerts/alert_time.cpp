#include "alerts/alert_time.h"

#include "platform/basic/date_time.h"
#include "platform/win32/time_zone.h"

namespace alerts {
namespace {

// Basic's Mid with a 1-based start, cut at the end of the text.
std::string Mid(const std::string& text, size_t start, size_t length) {
  if (start < 1 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

}  // namespace

std::string FormatAlertTime(double local_serial) {
  double utc = local_serial + platform::win32::GetTimeZoneBias() / 1440.0;
  return platform::FormatDate(utc, "mm/dd/yyyy hh:nn:ss");
}

std::string ReorderAlertTime(const std::string& stored, const std::string& order_code) {
  if (order_code == "DDMMYY") {
    return Mid(stored, 4, 3) + Mid(stored, 1, 3) + Mid(stored, 7, 4) + Mid(stored, 11, 9);
  }
  if (order_code == "YYMMDD") {
    return Mid(stored, 7, 4) + "/" + Mid(stored, 1, 3) + Mid(stored, 4, 2) + Mid(stored, 11, 9);
  }
  return stored;
}

}  // namespace alerts
