#include "platform/root/machine_root.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <mutex>

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

}  // namespace

std::filesystem::path MachineRoot() {
  {
    std::lock_guard lock(root_mutex);
    if (!ExplicitRoot().empty()) return ExplicitRoot();
  }
  if (const char* env = std::getenv("HEARTH_ROOT"); env != nullptr && *env != '\0') return env;
  return "/var/lib/hearth";
}

void SetMachineRoot(const std::filesystem::path& root) {
  std::lock_guard lock(root_mutex);
  ExplicitRoot() = root.empty() ? root : std::filesystem::absolute(root).lexically_normal();
}

std::string MachineConfigValue(std::string_view name, std::string_view fallback) {
  std::ifstream in(MachineRoot() / "machine.conf");
  std::string line;
  while (std::getline(in, line)) {
    std::string_view view = line;
    if (size_t hash = view.find('#'); hash != std::string_view::npos) view = view.substr(0, hash);
    size_t eq = view.find('=');
    if (eq == std::string_view::npos) continue;
    if (SameName(Trim(view.substr(0, eq)), name)) return Trim(view.substr(eq + 1));
  }
  return std::string(fallback);
}

long MachineConfigNumber(std::string_view name, long fallback) {
  std::string text = MachineConfigValue(name);
  if (text.empty()) return fallback;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 0);
  return (end != nullptr && *end == '\0') ? value : fallback;
}

}  // namespace platform
