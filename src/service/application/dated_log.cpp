#include "service/application/dated_log.h"

#include <string>

#include "platform/basic/date_time.h"
#include "service/log/system_log.h"

namespace service::detail {

void WriteDatedLog(std::string_view text) {
  WriteSystemLog(platform::FormatGeneralDate(platform::Now()) + std::string(text));
}

}  // namespace service::detail
