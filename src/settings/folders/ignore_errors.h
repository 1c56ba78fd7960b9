// Runs a step whose failure is ignored without touching the caller's pending
// error (see systemlog/ignore_errors.h, where the system log's folder lookup
// needs it too).
#pragma once

#include "systemlog/ignore_errors.h"

namespace settings {

using service::IgnoringErrors;

}  // namespace settings
