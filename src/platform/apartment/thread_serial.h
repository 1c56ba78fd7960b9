// A number for the calling thread that no other thread of the process ever
// gets, unlike std::thread::id and pthread_t, which the C library hands to
// the next new thread once one has ended.
#pragma once

#include <cstdint>

namespace platform {

// 1, 2, 3 ... in the order threads first ask; never 0, never reused.
std::uint64_t ThreadSerial();

}  // namespace platform
