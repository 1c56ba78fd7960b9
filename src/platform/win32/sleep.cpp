#include "platform/win32/sleep.h"

#include <chrono>
#include <thread>

namespace platform::win32 {

void Sleep(uint32_t milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform::win32
