#include "platform/fs/path_text.h"

namespace platform::fs {

bool IsUsablePath(std::string_view path) {
  return !path.empty() && path.find('\0') == std::string_view::npos;
}

std::string FolderOf(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string_view NameOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace platform::fs
