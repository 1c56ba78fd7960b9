// Delivery of the hive's diagnostic messages to the sink set by
// SetDiagnosticSink (registry.h), or to stderr.
#pragma once

#include <string>

namespace platform::registry {

// Never call with the hive lock held: the sink may use the registry itself.
void DeliverDiagnostic(const std::string& message);

}  // namespace platform::registry
