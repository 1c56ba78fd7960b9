#include "settings/shared/null_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include "contracts/support_objects.h"
#include "platform/fs/folders.h"
#include "platform/win32/environ.h"
#include "settings/folders/folder_tree.h"
#include "settings/folders/ignore_errors.h"
#include "systemlog/time_stamped.h"

namespace settings {

std::string NullTracePath() { return platform::fs::JoinPath(platform::win32::Environ("temp"), "HearthNullTrace.txt"); }

void WriteNullTrace(std::string_view message) {
  IgnoringErrors([&] {
    const std::string folder = platform::win32::Environ("temp");
    MakeFolderTree(folder);
    const std::string path = NullTracePath();
    contracts::Support().Files()->PreparePath(path);
    std::string line = service::TimeStamped(": ");
    line += message;
    line += "\r\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const ssize_t ignored = ::write(fd, line.data(), line.size());
    (void)ignored;
    ::close(fd);
  });
}

}  // namespace settings
