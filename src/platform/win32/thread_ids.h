// Thread and process identifiers.
#pragma once

#include <cstdint>
#include <string>

namespace platform::win32 {

// The kernel's id of the calling thread (gettid).
uint32_t GetCurrentThreadId();

// An id in upper-case hexadecimal without leading zeros, as log lines show it
// after "0x": 0x1A2B gives "1A2B", 0 gives "0".
std::string ThreadIdHex(uint32_t thread_id);
// The calling thread's id so written.
std::string ThreadIdHex();

uint32_t GetCurrentProcessId();

}  // namespace platform::win32
