#include "systemlog/time_stamped.h"

#include "platform/basic/date_time.h"

namespace service {

std::string TimeStamped(std::string_view text) {
  std::string line = platform::FormatGeneralDate(platform::Now());
  line += text;
  return line;
}

}  // namespace service
