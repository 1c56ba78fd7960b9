// How the store component reports failures: one error number, the engine's
// own words as the description, and the component's ProgID as the source.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/basic/err.h"

namespace support {

inline constexpr std::string_view kImdbProgId = "QuiLogic.IMDB";

// Every engine or usage failure of the component.
inline constexpr int32_t kErrImdb = platform::kErrAutomation;
// A field call with no current row (before the first, past the last, or no
// result open).
inline constexpr int32_t kErrNoCurrentRecord = 3021;
// The store reached its size setting (or the disk is full): Basic's "Disk
// full", with the engine's words as the description.
inline constexpr int32_t kErrImdbFull = platform::kErrDiskFull;

// What kind of failure the last one of a connection was.
enum class ImdbFailure {
  kNone,
  // The file cannot be used now but may be later: no file descriptor left,
  // an I/O error, a lock held too long, no memory, no room, no rights.
  kTransient,
  // The engine says the file is damaged: not a database, or pages that fail
  // its checks.
  kDamaged,
  // The statement does not fit the tables as they are (a missing table or
  // column, a bad value).
  kStatement,
};

[[noreturn]] inline void RaiseImdbError(std::string_view description, int32_t number = kErrImdb) {
  platform::RaiseError(number, description, kImdbProgId);
}

}  // namespace support
