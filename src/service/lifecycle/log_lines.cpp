#include "service/lifecycle/log_lines.h"

#include "platform/basic/date_time.h"
#include "platform/basic/err.h"

namespace service {

std::string TimeStamped(std::string_view text) {
  std::string line = platform::FormatGeneralDate(platform::Now());
  line += text;
  return line;
}

std::string PendingErrorText() { return platform::Err::IsSet() ? platform::Err::Description() : std::string(); }

}  // namespace service
