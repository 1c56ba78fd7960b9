#include "store/safe_paths.h"

#include <string_view>

namespace store {
namespace {

// Every "/"-separated part of `path` is a safe name (empty parts allowed
// only where `allow_empty` says: the leading and trailing ones).
bool PartsAreSafe(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && !IsSafeFileName(std::string(part))) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

bool IsSafeFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

bool IsSafeRelPath(const std::string& path) {
  if (path.empty()) return true;
  if (path.front() == '/' || !path.ends_with('/')) return false;
  if (path.find("//") != std::string::npos) return false;
  return PartsAreSafe(path.substr(0, path.size() - 1));
}

bool IsSafeBasePath(const std::string& path) {
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) return false;
  return PartsAreSafe(path);
}

}  // namespace store
