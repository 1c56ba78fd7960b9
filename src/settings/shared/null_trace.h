// The null-trace file "HearthNullTrace.txt" in the temp folder: where the
// settings accessors record that a thread asked for a collection it does not
// have. It is its own file so the record survives where the system log is
// not reachable.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// The file's full path: the "temp" folder + "/HearthNullTrace.txt".
std::string NullTracePath();

// Appends one line: the local date and time (general date form), ": ", the
// message, CR LF. The temp folder is created when missing; a line that
// cannot be written is lost.
void WriteNullTrace(std::string_view message);

}  // namespace settings
