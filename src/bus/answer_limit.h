// How large one answer on the bus may be. The bus daemon carries messages of
// at most 32 MiB (its default) and drops the connection of a sender that
// sends a larger one: the whole service would leave the bus. An answer that
// could come near is refused (or cut to what fits) instead.
#pragma once

#include <cstddef>

namespace bus {

inline constexpr size_t kMaxAnswerBytes = 24u << 20;

}  // namespace bus
