// The platform shell: starts a command line hidden, without waiting for it.
#pragma once

#include <string>

namespace platform::win32 {

// Runs `command_line` through `/bin/sh -c`, detached: in a new session,
// standard input, output and error on /dev/null, no descriptor of this
// process inherited, and not this process's child (so nothing is left to
// reap). Returns at once: true when the shell was started, false when it
// could not be (an empty command line, fork or exec failing).
bool ShellRunHidden(const std::string& command_line);

}  // namespace platform::win32
