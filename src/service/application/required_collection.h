// A collection an operation cannot do without.
#pragma once

#include "platform/basic/err.h"
#include "settings/shared/shared_settings.h"

namespace service::detail {

// The collection itself; raises 91 "Object variable or With block variable
// not set" when there is none (a thread that did not start the service).
inline settings::cSettings& Required(const settings::SettingsPtr& collection) {
  if (collection == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "Application");
  return *collection;
}

}  // namespace service::detail
