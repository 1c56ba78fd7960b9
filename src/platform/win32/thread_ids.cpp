#include "platform/win32/thread_ids.h"

#include <unistd.h>

#include <cstdio>

namespace platform::win32 {

uint32_t GetCurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

std::string ThreadIdHex(uint32_t thread_id) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", thread_id);
  return text;
}

std::string ThreadIdHex() { return ThreadIdHex(GetCurrentThreadId()); }

uint32_t GetCurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

}  // namespace platform::win32
