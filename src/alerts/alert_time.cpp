#include "alerts/alert_time.h"

#include <chrono>
#include <ctime>

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

constexpr char kAlertTimeFormat[] = "mm/dd/yyyy hh:nn:ss";

std::string FormatAlertTime(double local_serial) {
  double utc = local_serial + platform::win32::GetTimeZoneBias() / 1440.0;
  return platform::FormatDate(utc, kAlertTimeFormat);
}

const platform::Variant& CurrentAlertTime() {
  struct Stamp {
    std::time_t second = -1;
    platform::Variant text;
  };
  thread_local Stamp stamp;
  // The clock Now() reads: time() may still show the second before.
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  if (now != stamp.second) {
    // Local time plus the bias is the UTC time of the same second.
    std::tm utc {};
    ::gmtime_r(&now, &utc);
    const double serial =
        platform::DateAddTime(platform::DateSerial(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday),
                              platform::TimeSerial(utc.tm_hour, utc.tm_min, utc.tm_sec));
    stamp.text = platform::Variant(platform::FormatDate(serial, kAlertTimeFormat));
    stamp.second = now;
  }
  return stamp.text;
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
