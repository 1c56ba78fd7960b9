#include "bus/failure_throttle.h"

#include <algorithm>

namespace bus {

FailureThrottle::FailureThrottle(ThrottlePolicy policy, Clock clock)
    : policy_(policy), clock_(std::move(clock)) {}

std::chrono::milliseconds FailureThrottle::DelayAfter(int failures) const {
  // The check after the last free failure is the first that waits.
  const int over = failures - policy_.free_failures;
  if (over < 0) return std::chrono::milliseconds(0);
  std::chrono::milliseconds delay = policy_.first_delay;
  for (int i = 0; i < over && delay < policy_.longest_delay; ++i) delay *= 2;
  return std::min(delay, policy_.longest_delay);
}

std::chrono::steady_clock::time_point FailureThrottle::NextCheckAt(uid_t caller) {
  const auto now = clock_();
  auto found = records_.find(caller);
  if (found == records_.end()) return now;
  if (now - found->second.last_failure >= policy_.forget_after) {
    records_.erase(found);
    return now;
  }
  return std::max(now, found->second.last_failure + DelayAfter(found->second.failures));
}

void FailureThrottle::Failed(uid_t caller) {
  const auto now = clock_();
  Forget(now);
  Record& record = records_[caller];
  ++record.failures;
  record.last_failure = now;
}

void FailureThrottle::Succeeded(uid_t caller) { records_.erase(caller); }

void FailureThrottle::Forget(std::chrono::steady_clock::time_point now) {
  // Only callers that failed lately are kept, so the table stays small.
  for (auto it = records_.begin(); it != records_.end();) {
    it = now - it->second.last_failure >= policy_.forget_after ? records_.erase(it) : std::next(it);
  }
}

}  // namespace bus
