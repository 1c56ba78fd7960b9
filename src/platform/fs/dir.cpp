#include "platform/fs/dir.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/basic/err.h"
#include "platform/fs/folders.h"
#include "platform/fs/path_text.h"

namespace platform::fs {
namespace {

// Index of the character after the one starting at `i` (UTF-8 aware).
size_t NextChar(std::string_view text, size_t i) {
  ++i;
  while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  return i;
}

bool HasWildcards(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

bool PassesFilter(int32_t entry_attributes, int32_t wanted) {
  if ((entry_attributes & kDirectory) != 0 && (wanted & kDirectory) == 0) return false;
  if ((entry_attributes & kHidden) != 0 && (wanted & kHidden) == 0) return false;
  return true;
}

struct DirListing {
  bool started = false;
  std::vector<std::string> names;
  size_t next = 0;
};

DirListing& ThreadListing() {
  thread_local DirListing listing;
  return listing;
}

std::string NextName(DirListing& listing) {
  if (listing.next >= listing.names.size()) return {};
  return listing.names[listing.next++];
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (mask.empty() || mask == "*" || mask == "*.*") return true;
  size_t n = 0, m = 0;
  size_t star_m = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '?') {
      n = NextChar(name, n);
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      star_m = ++m;
      star_n = n;
    } else if (m < mask.size() && mask[m] == name[n]) {
      ++n;
      ++m;
    } else if (star_m != std::string_view::npos) {
      // Let the last "*" swallow one more character and try again from there.
      star_n = NextChar(name, star_n);
      n = star_n;
      m = star_m;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::vector<DirEntry> ListDirectory(const std::string& folder, std::string_view mask, int32_t attributes) {
  std::vector<DirEntry> entries;
  std::string where = folder.empty() ? "." : folder;
  if (!IsUsablePath(where)) return entries;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(where.c_str()), &::closedir);
  if (!dir) return entries;
  while (const dirent* item = ::readdir(dir.get())) {
    std::string_view name = item->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
    int32_t entry_attributes = FileAttributes(JoinPath(where, name));
    if (entry_attributes == kInvalidAttributes) continue;  // gone, or a dangling link
    if (!PassesFilter(entry_attributes, attributes)) continue;
    entries.push_back({std::string(name), entry_attributes});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return entries;
}

std::string Dir(const std::string& pathname, int32_t attributes) {
  DirListing& listing = ThreadListing();
  listing = DirListing{};
  listing.started = true;
  if (pathname.find('\0') != std::string::npos) return {};
  std::string folder;
  std::string mask;
  if (!pathname.empty() && pathname.back() == '/') {
    folder = pathname;
  } else if (!pathname.empty()) {
    folder = pathname.find('/') == std::string::npos ? "." : FolderOf(pathname);
    mask = std::string(NameOf(pathname));
  }
  if (!mask.empty() && !HasWildcards(mask)) {
    // One exact name: no need to read the whole folder.
    int32_t entry_attributes = FileAttributes(pathname);
    if (entry_attributes != kInvalidAttributes && PassesFilter(entry_attributes, attributes)) {
      listing.names.push_back(mask);
    }
  } else {
    for (DirEntry& entry : ListDirectory(folder, mask, attributes)) listing.names.push_back(std::move(entry.name));
  }
  return NextName(listing);
}

std::string Dir() {
  DirListing& listing = ThreadListing();
  if (!listing.started) RaiseError(kErrInvalidCall, {}, "Dir");
  return NextName(listing);
}

}  // namespace platform::fs
