// GetDateOrder: the order of day, month and year in the locale's short date.
#include <cctype>

#include "alerts/mod_alert.h"
#include "platform/root/machine_root.h"

namespace alerts {
namespace {

// The locale's short-date pattern applied to 31 December 1996. Pattern
// letters as the system's locale settings write them: d, dd (day), ddd,
// dddd (day name), M, MM (month), MMM, MMMM (month name), y, yy (year in the
// century), yyyy (year); text in single quotes is copied as it stands.
std::string FormatLocaleSample(const std::string& pattern) {
  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    if (c == '\'') {
      size_t close = pattern.find('\'', i + 1);
      if (close == std::string::npos) close = pattern.size();
      out += pattern.substr(i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    if (c == 'd') {
      out += run >= 4 ? "Tuesday" : run == 3 ? "Tue" : "31";
    } else if (c == 'M') {
      out += run >= 4 ? "December" : run == 3 ? "Dec" : "12";
    } else if (c == 'y') {
      out += run >= 3 ? "1996" : "96";
    } else {
      out.append(run, c);
    }
    i += run;
  }
  return out;
}

// Basic's InStr: the 1-based position of `part`, 0 when it is missing.
size_t InStr(const std::string& text, const char* part) {
  size_t at = text.find(part);
  return at == std::string::npos ? 0 : at + 1;
}

}  // namespace

std::string GetDateOrder(std::string& order, std::string& separator) {
  std::string sample = FormatLocaleSample(platform::MachineConfigValue("ShortDatePattern", "M/d/yyyy"));
  size_t month = InStr(sample, "12");
  size_t day = InStr(sample, "31");
  size_t year = InStr(sample, "96");
  std::string year_part = InStr(sample, "19") > 0 ? "YYYY" : "YY";
  // The character after the month; a digit means there is no separator.
  size_t after = month + 2;  // 1-based position of the character after "12"
  separator = after >= 1 && after <= sample.size() ? sample.substr(after - 1, 1) : "";
  if (!separator.empty() && std::isdigit(static_cast<unsigned char>(separator[0]))) separator.clear();

  if (month < day && day < year) {
    order = "MMDDYY";
    return "MM" + separator + "DD" + separator + year_part;
  }
  if (!(day < month) || !(year > month)) {
    order = "YYMMDD";
    return year_part + separator + "MM" + separator + "DD";
  }
  order = "DDMMYY";
  return "DD" + separator + "MM" + separator + year_part;
}

}  // namespace alerts
