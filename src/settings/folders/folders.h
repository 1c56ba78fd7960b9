// The folders the system writes to: profile, log and application folders.
// None of these functions logs (the system log itself finds its folder here)
// and none raises: a failure gives the path anyway, or empty text where
// stated, and leaves the thread's pending error as it was.
#pragma once

#include <string>

namespace settings {

// The suite's common files folder: the folder component's answer, or the
// default common files folder (the stand-in for "c:\program files\common
// files") when it answers empty text. Not created here.
std::string GetCommonFilesFolder();

// common files + "/Norvale/QORC/prf", created with every missing parent.
std::string GetProfileFolder();

// common files + "/Norvale/QORC/log", created with every missing parent.
std::string GetLogFolder();

// The "installdir" value of HKEY_LOCAL_MACHINE "SOFTWARE\Norvale\Veltris\v1.5"
// + "/app"; empty text when the key cannot be opened. Not created here.
std::string GetAppFolder();

}  // namespace settings
