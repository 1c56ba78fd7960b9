// Runs a piece of a test in a child process, for what must be seen from
// another process (file locks, crash safety, a second opener of the hive).
#pragma once

#include <sys/types.h>

#include <functional>

namespace testing_support {

// Forks; the child runs `body` and exits with its result (1 if it throws).
// Returns the child's pid at once.
pid_t StartChild(const std::function<int()>& body);

// Waits for the child; its exit code, or 128 + signal when it was killed.
int WaitChild(pid_t pid);

// StartChild then WaitChild.
inline int RunInChild(const std::function<int()>& body) { return WaitChild(StartChild(body)); }

}  // namespace testing_support
