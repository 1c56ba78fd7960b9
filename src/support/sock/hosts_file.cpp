#include "support/sock/hosts_file.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>


namespace support {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (!a.empty() && a.back() == '.') a.remove_suffix(1);
  if (!b.empty() && b.back() == '.') b.remove_suffix(1);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

void HostsFile::Refresh() {
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    lines_.clear();
    read_ = false;
    return;
  }
  if (read_ && info.st_ino == inode_ && info.st_size == size_ && info.st_mtim.tv_sec == modified_.tv_sec &&
      info.st_mtim.tv_nsec == modified_.tv_nsec) {
    return;
  }
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  Parse(text.str());
  read_ = true;
  inode_ = info.st_ino;
  size_ = info.st_size;
  modified_ = info.st_mtim;
}

void HostsFile::Parse(std::string_view text) {
  lines_.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);

    std::vector<std::string> fields;
    size_t at = 0;
    while (at < line.size()) {
      while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
      size_t field_end = at;
      while (field_end < line.size() && !std::isspace(static_cast<unsigned char>(line[field_end]))) ++field_end;
      if (field_end > at) fields.emplace_back(line.substr(at, field_end - at));
      at = field_end;
    }
    if (fields.size() < 2) continue;
    in_addr addr{};
    if (inet_pton(AF_INET, fields[0].c_str(), &addr) != 1) continue;  // IPv6, or not an address
    lines_.push_back({static_cast<int32_t>(ntohl(addr.s_addr)), {fields.begin() + 1, fields.end()}});
  }
}

std::optional<LookupResult> HostsFile::Forward(std::string_view name) const {
  std::optional<LookupResult> result;
  for (const Line& line : lines_) {
    bool listed = std::any_of(line.names.begin(), line.names.end(),
                              [&](const std::string& n) { return SameName(n, name); });
    if (!listed) continue;
    if (!result) {
      result.emplace();
      result->ok = true;
      result->name = line.names.front();
    }
    if (std::find(result->addresses.begin(), result->addresses.end(), line.address) == result->addresses.end()) {
      result->addresses.push_back(line.address);
    }
  }
  return result;
}

std::optional<LookupResult> HostsFile::Reverse(int32_t address) const {
  for (const Line& line : lines_) {
    if (line.address != address) continue;
    LookupResult result;
    result.ok = true;
    result.name = line.names.front();
    result.addresses.push_back(address);
    return result;
  }
  return std::nullopt;
}

}  // namespace support
