#include "platform/fs/stale_siblings.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <unordered_map>

#include "platform/fs/path_text.h"

namespace platform::fs {
namespace {

constexpr std::string_view kMarker = ".tmp-";
constexpr auto kSweepInterval = std::chrono::seconds(2);
constexpr size_t kMaxRemembered = 256;

bool AllDigits(std::string_view text) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool ProcessGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

long WorkFileOwner(std::string_view name) {
  if (name.size() < 2 || name[0] != '.') return 0;
  size_t marker = name.rfind(kMarker);
  if (marker == std::string_view::npos || marker < 1) return 0;
  std::string_view tail = name.substr(marker + kMarker.size());
  size_t dash = tail.find('-');
  if (dash == std::string_view::npos) return 0;
  std::string_view pid = tail.substr(0, dash);
  if (!AllDigits(pid) || !AllDigits(tail.substr(dash + 1))) return 0;
  long owner = std::stol(std::string(pid));
  return owner > 0 ? owner : 0;
}

size_t SweepStaleSiblings(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  const long me = static_cast<long>(::getpid());
  size_t removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    long owner = WorkFileOwner(entry->d_name);
    if (owner == 0 || owner == me || !ProcessGone(owner)) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

void SweepStaleSiblingsNowAndThen(const std::string& folder) {
  using Clock = std::chrono::steady_clock;
  static std::mutex mutex;
  static auto* last_swept = new std::unordered_map<std::string, Clock::time_point>;
  const Clock::time_point now = Clock::now();
  {
    std::lock_guard lock(mutex);
    auto found = last_swept->find(folder);
    if (found != last_swept->end() && now - found->second < kSweepInterval) return;
    if (last_swept->size() >= kMaxRemembered) last_swept->clear();
    (*last_swept)[folder] = now;
  }
  SweepStaleSiblings(folder);
}

}  // namespace platform::fs
