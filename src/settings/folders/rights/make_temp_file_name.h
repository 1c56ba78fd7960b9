// Unique temporary file names in profile + "/tmp/". The first call on a
// thread creates the folder (and, under the service host, grants the users
// group access to it).
#pragma once

#include <cstdint>
#include <string>

namespace settings {

// The full path of a new temporary file name: the folder, the time of day,
// 24 random bytes as text, and this thread's counter in upper-case
// hexadecimal (1 on the first call). No file is left behind. Empty text only
// when the name cannot be made at all.
std::string MakeTempFileName();

// The temporary folder this thread hands names out of ("" before the first
// MakeTempFileName), and how many names it has handed out.
std::string TempFolderOfThread();
int32_t TempNamesHandedOut();

}  // namespace settings
