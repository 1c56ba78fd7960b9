// The system log: the service's plain-text diagnostic record "hearth.log" in
// the log folder, with nine older generations "hearth.lo1" (newest) to
// "hearth.lo9" (oldest). Callable from any thread at any time; it never fails
// towards its caller: a line that cannot be written is lost.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace service {

// Appends one line "[yyMMdd HH:mm:ss] [tick] message" + CR LF. An empty
// message starts a new log: the files are rotated and the log-created line is
// written as the first line of the new file.
void WriteSystemLog(std::string_view message);

// Process-wide: while silenced, WriteSystemLog writes nothing (and makes no
// folder). For read-only tools beside the service, whose reading must leave
// no trace in the service's log.
void SetSystemLogSilenced(bool silenced);

// Moves each generation of `file_name` (in the log folder) up by one, the
// oldest beyond `generations` deleted, the current file becoming generation 1.
// Every failing step is ignored.
void RotateLogFiles(std::string_view file_name, int generations);

// "System service log created, version 2.01.007" for the running build.
std::string LogCreatedMessage();

// The full path of the current log file.
std::string SystemLogPath();

// Where the time stamp of a line comes from (seconds since 1970, shown in
// the process's local zone). Returns the clock it replaces; null restores
// the system clock. For tests that need a known stamp.
using LogClock = std::time_t (*)();
LogClock SetLogClock(LogClock clock);

// One formatted line, as written (without the CR LF).
std::string FormatLogLine(std::string_view message);

}  // namespace service
