#include "service/install/register_type_lib_file.h"

#include "platform/fs/file_ops.h"
#include "platform/fs/folders.h"
#include "platform/typelib/load_type_lib.h"
#include "systemlog/system_log.h"

namespace service {

void RegisterTypeLibFile(const std::string& path) {
  WriteSystemLog("Attempting to register type library '" + path + "'");
  platform::typelib::HRESULT result = platform::typelib::kSOk;
  if (platform::fs::PathExists(path)) {
    platform::typelib::TypeLibrary library;
    result = platform::typelib::LoadTypeLib(path, &library);
    if (result == platform::typelib::kSOk) result = platform::typelib::RegisterTypeLib(library, path, "");
  }
  // The failure line's spelling is what log readers match on.
  WriteSystemLog(result == platform::typelib::kSOk ? "type library registration successful"
                                                   : "type library registraiton failed");
}

std::string ToolkitTypeLibraryPath() { return platform::fs::WindowsFolder() + "/system32/dwntserv.tlb"; }

void RegisterToolkitTypeLibrary() { RegisterTypeLibFile(ToolkitTypeLibraryPath()); }

}  // namespace service
