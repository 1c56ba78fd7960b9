#include "platform/root/machine_root.h"
#include "platform/root/root_in_force.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

std::mutex root_mutex;
std::filesystem::path& ExplicitRoot() {
  static std::filesystem::path root;
  return root;
}

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

constexpr const char* kDefaultRoot = "/var/lib/hearth";

const char* EnvironmentRoot() {
  const char* env = std::getenv("HEARTH_ROOT");
  return env != nullptr && *env != '\0' ? env : nullptr;
}

}  // namespace

std::filesystem::path MachineRoot() {
  {
    std::lock_guard lock(root_mutex);
    if (!ExplicitRoot().empty()) return ExplicitRoot();
  }
  if (const char* env = EnvironmentRoot()) return env;
  return kDefaultRoot;
}

bool IsMachineRoot(const std::filesystem::path& root) {
  {
    std::lock_guard lock(root_mutex);
    if (!ExplicitRoot().empty()) return ExplicitRoot().native() == root.native();
  }
  const char* env = EnvironmentRoot();
  return root.native() == (env != nullptr ? env : kDefaultRoot);
}

void SetMachineRoot(const std::filesystem::path& root) {
  std::lock_guard lock(root_mutex);
  ExplicitRoot() = root.empty() ? root : std::filesystem::absolute(root).lexically_normal();
}

namespace {

// The parsed file, kept while the file on disk stays the same: callers read
// configuration values on hot paths (every log line asks for a folder).
struct ParsedConfig {
  std::string path;
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  std::vector<std::pair<std::string, std::string>> values;  // in file order
};

std::mutex config_mutex;

bool SameFile(const ParsedConfig& cached, const std::string& path, bool present, const struct stat& st) {
  if (cached.path != path || cached.present != present) return false;
  if (!present) return true;
  return cached.device == st.st_dev && cached.inode == st.st_ino && cached.size == st.st_size &&
         cached.modified.tv_sec == st.st_mtim.tv_sec && cached.modified.tv_nsec == st.st_mtim.tv_nsec;
}

void Parse(ParsedConfig& config) {
  config.values.clear();
  std::ifstream in(config.path);
  std::string line;
  while (std::getline(in, line)) {
    std::string_view view = line;
    if (size_t hash = view.find('#'); hash != std::string_view::npos) view = view.substr(0, hash);
    size_t eq = view.find('=');
    if (eq == std::string_view::npos) continue;
    config.values.emplace_back(Trim(view.substr(0, eq)), Trim(view.substr(eq + 1)));
  }
}

}  // namespace

std::string MachineConfigValue(std::string_view name, std::string_view fallback) {
  static ParsedConfig cached;
  const std::string path = (MachineRoot() / "machine.conf").string();
  struct stat st{};
  const bool present = ::stat(path.c_str(), &st) == 0;
  std::lock_guard lock(config_mutex);
  if (!SameFile(cached, path, present, st)) {
    cached.path = path;
    cached.present = present;
    cached.device = present ? st.st_dev : 0;
    cached.inode = present ? st.st_ino : 0;
    cached.size = present ? st.st_size : 0;
    cached.modified = present ? st.st_mtim : timespec{};
    if (present) {
      Parse(cached);
    } else {
      cached.values.clear();
    }
  }
  for (const auto& [key, value] : cached.values)
    if (SameName(key, name)) return value;
  return std::string(fallback);
}

long MachineConfigNumber(std::string_view name, long fallback) {
  std::string text = MachineConfigValue(name);
  if (text.empty()) return fallback;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 0);
  // Out of range is no number: strtol's clamped value was never written.
  return (end != nullptr && *end == '\0' && errno == 0) ? value : fallback;
}

}  // namespace platform
