// Where the Windows places the system names live below the machine root.
// Each function only builds the path; none creates a folder (use
// MakeFolderTree). Paths are native: joined with "/", no trailing "/".
#pragma once

#include <string>
#include <string_view>

namespace platform::fs {

// The common files folder the folder component answers: <root>/commonfiles.
std::string CommonFilesFolder();

// "c:\program files\common files", the fallback when the folder component
// answers empty: <root>/program files/common files.
std::string DefaultCommonFilesFolder();

// The drive "c:\" of fixed paths: the machine root itself.
std::string SystemDriveFolder();

// A fixed path on drive "c:\": SystemDrivePath("Alerts.csv") is
// <root>/Alerts.csv. Backslashes in `relative` become "/"; a leading "c:\" or
// "\" is dropped.
std::string SystemDrivePath(std::string_view relative);

// The environment variable "windir": <root>/windows.
std::string WindowsFolder();

// The environment variable "temp": <root>/tmp.
std::string TempFolder();

// folder + "/" + name, without doubling a "/" that `folder` already ends in.
// An empty folder gives `name` unchanged.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace platform::fs
