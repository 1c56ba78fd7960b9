#include "service/lifecycle/log_lines.h"

#include "platform/basic/err.h"

namespace service {

std::string PendingErrorText() { return platform::Err::IsSet() ? platform::Err::Description() : std::string(); }

}  // namespace service
