// How the store component reports failures: one error number, the engine's
// own words as the description, and the component's ProgID as the source.
#pragma once

#include <cstdint>
#include <string_view>

#include "contracts/imdb_component.h"
#include "platform/basic/err.h"

namespace support {

using contracts::kImdbProgId;

// Every engine or usage failure of the component.
inline constexpr int32_t kErrImdb = platform::kErrAutomation;
// A field call with no current row (before the first, past the last, or no
// result open).
inline constexpr int32_t kErrNoCurrentRecord = 3021;
using contracts::ImdbFailure;
using contracts::kErrImdbFull;

[[noreturn]] inline void RaiseImdbError(std::string_view description, int32_t number = kErrImdb) {
  platform::RaiseError(number, description, kImdbProgId);
}

}  // namespace support
