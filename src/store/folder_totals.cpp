#include "store/folder_totals.h"

#include <filesystem>

#include "platform/basic/string_functions.h"

namespace store {
namespace {

namespace fs = std::filesystem;

void CountInto(const fs::path& folder, bool recurse, const std::string& exclude, FolderTotals* totals) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::file_status status = it->symlink_status(error);
    if (error) {
      error.clear();
      continue;
    }
    if (fs::is_directory(status)) {
      const std::string name = it->path().filename().string();
      if (recurse && exclude.find("|" + platform::LCase(name) + "|") == std::string::npos) {
        CountInto(it->path(), recurse, {}, totals);
      }
    } else if (fs::is_regular_file(status)) {
      ++totals->files;
      const uintmax_t size = it->file_size(error);
      if (!error) totals->bytes += static_cast<int64_t>(size);
      error.clear();
    }
  }
}

}  // namespace

FolderTotals CountFolder(const std::string& folder, bool recurse, const std::string& exclude) {
  FolderTotals totals;
  CountInto(folder, recurse, exclude, &totals);
  return totals;
}

}  // namespace store
