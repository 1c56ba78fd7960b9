// Starting a program detached from this process: in a new session, standard
// input, output and error on /dev/null, no descriptor of this process
// inherited, signal dispositions and mask reset, and not this process's child
// (nothing is left to reap).
#pragma once

#include <string>
#include <vector>

namespace platform::win32 {

// Runs `program` (a path, or a name looked up in PATH) with the arguments
// `argv` (argv[0] first). Returns once the program was started (its exec
// succeeded) or could not be: true when started; false with *error_number
// set to the errno of the failing step (ENOENT when the program is not
// found, EINVAL for an empty program or an argument holding a NUL).
bool StartDetached(const std::string& program, const std::vector<std::string>& argv, int* error_number = nullptr);

// The program's full path: `program` itself when it holds a '/', else the
// first executable file of that name in PATH; empty when there is none.
std::string FindProgram(const std::string& program);

}  // namespace platform::win32
