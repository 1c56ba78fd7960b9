// The suite's folders below the common files folder, as the system log needs
// them to find its own folder. None of these functions logs and none raises:
// a failure gives the path anyway, and the thread's pending error stays as it
// was. The settings store offers the same folders under its own names.
#pragma once

#include <string>
#include <string_view>

namespace service {

// The folder component's answer, or the default common files folder (the
// stand-in for "c:\program files\common files") when it answers empty text.
// Not created here.
std::string CommonFilesFolder();

// common files + "/" + `subpath`, created with every missing parent.
std::string SuiteFolder(std::string_view subpath);

// common files + "/Norvale/QORC/log", created with every missing parent.
std::string LogFolder();

// Builds the path up part by part, creating every part that is not a folder
// yet; a part that exists as a file stops the tree there. Failures are silent.
void MakeFolderTree(const std::string& path);

}  // namespace service
