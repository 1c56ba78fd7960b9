// Where the support objects report what a caller cannot see in their
// results (a damaged configuration file replaced by the shipped one, ...).
// The service points the sink at its system log; without a sink the lines
// are dropped.
#pragma once

#include <functional>
#include <string>

namespace support {

using DiagnosticSink = std::function<void(const std::string& line)>;

// Process-wide; an empty sink drops the lines.
void SetDiagnosticSink(DiagnosticSink sink);

// Hands one line to the sink; never throws.
void ReportDiagnostic(const std::string& line);

}  // namespace support
