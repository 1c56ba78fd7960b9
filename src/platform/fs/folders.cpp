#include "platform/fs/folders.h"

#include "platform/root/machine_root.h"

namespace platform::fs {
namespace {

std::string Root() { return MachineRoot().string(); }

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string CommonFilesFolder() { return JoinPath(Root(), "commonfiles"); }

std::string DefaultCommonFilesFolder() { return JoinPath(Root(), "program files/common files"); }

std::string SystemDriveFolder() {
  std::string root = Root();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string SystemDrivePath(std::string_view relative) {
  std::string rest(relative);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (rest.size() >= 2 && rest[1] == ':' &&
      ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= 'A' && rest[0] <= 'Z'))) {
    rest.erase(0, 2);
  }
  size_t start = rest.find_first_not_of('/');
  rest.erase(0, start == std::string::npos ? rest.size() : start);
  if (rest.empty()) return SystemDriveFolder();
  return JoinPath(SystemDriveFolder(), rest);
}

std::string WindowsFolder() { return JoinPath(Root(), "windows"); }

std::string TempFolder() { return JoinPath(Root(), "tmp"); }

}  // namespace platform::fs
