#include "platform/apartment/thread_serial.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<std::uint64_t> last_serial{0};
// Trivially destructible: still readable while the thread's other
// thread_local objects are destroyed.
thread_local std::uint64_t tls_serial = 0;

}  // namespace

std::uint64_t ThreadSerial() {
  if (tls_serial == 0) tls_serial = last_serial.fetch_add(1, std::memory_order_relaxed) + 1;
  return tls_serial;
}

}  // namespace platform
