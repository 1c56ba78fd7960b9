// Slows a caller that keeps failing a check (a password guesser), as
// pam_faillock does: the first few failures cost nothing, then the caller's
// next check waits, and each further failure doubles the wait, up to a
// ceiling; a success, or a quiet spell, forgets the count. The bus defers
// the waiting call's answer instead of sleeping, so no other caller waits.
//
//   FailureThrottle throttle;
//   if (throttle.NextCheckAt(uid) > now) { defer the call until then; }
//   ... check ...; ok ? throttle.Succeeded(uid) : throttle.Failed(uid);
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <unordered_map>

namespace bus {

struct ThrottlePolicy {
  int free_failures = 3;                           // failures in a row that cost nothing
  std::chrono::milliseconds first_delay{1000};     // the wait once they are used up
  std::chrono::milliseconds longest_delay{60000};  // the ceiling
  std::chrono::milliseconds forget_after{std::chrono::minutes(15)};  // a quiet spell that clears the count
};

class FailureThrottle {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit FailureThrottle(ThrottlePolicy policy = {}, Clock clock = &std::chrono::steady_clock::now);

  std::chrono::steady_clock::time_point Now() const { return clock_(); }
  // When `caller`'s next check may run: Now() or earlier when it need not wait.
  std::chrono::steady_clock::time_point NextCheckAt(uid_t caller);
  // How long the caller waits after `failures` failures in a row.
  std::chrono::milliseconds DelayAfter(int failures) const;
  void Failed(uid_t caller);
  void Succeeded(uid_t caller);

 private:
  struct Record {
    int failures = 0;
    std::chrono::steady_clock::time_point last_failure;
  };
  // Drops the records a quiet spell has cleared.
  void Forget(std::chrono::steady_clock::time_point now);

  ThrottlePolicy policy_;
  Clock clock_;
  std::unordered_map<uid_t, Record> records_;
};

}  // namespace bus
