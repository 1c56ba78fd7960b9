// Type library registration at start: the service toolkit's "dwntserv.tlb"
// from the Windows system folder, validated and recorded in the hive.
#pragma once

#include <string>

namespace service {

// Logs the attempt, loads and registers the file when it exists, then logs
// "type library registration successful" or, when a step failed, the
// failure line. A missing file is no failure.
void RegisterTypeLibFile(const std::string& path);

// <windir>/system32/dwntserv.tlb.
std::string ToolkitTypeLibraryPath();

// RegisterTypeLibFile of the toolkit's type library.
void RegisterToolkitTypeLibrary();

}  // namespace service
