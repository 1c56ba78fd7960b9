// Win32 events (CreateEventA, SetEvent, ResetEvent, WaitForSingleObject) on a
// condition variable, for threads of this process.
//
// A manual-reset event stays signalled until ResetEvent and releases every
// waiter; an auto-reset event releases one waiter and turns non-signalled
// again by doing so.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace platform::win32 {

// Results of WaitForSingleObject (WAIT_OBJECT_0, WAIT_TIMEOUT, WAIT_FAILED).
inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
// A timeout that never ends (INFINITE).
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

class Event {
 public:
  Event(bool manual_reset, bool initial_state);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits until signalled or `timeout_ms` passed (kInfinite: no limit);
  // kWaitObject0 or kWaitTimeout.
  uint32_t Wait(uint32_t timeout_ms);
  bool manual_reset() const { return manual_reset_; }

 private:
  const bool manual_reset_;
  std::mutex mutex_;
  std::condition_variable signalled_cv_;
  bool signalled_;
};

// The handle: the event lives while a handle to it does.
using EventHandle = std::shared_ptr<Event>;

// CreateEventA(lpEventAttributes, bManualReset, bInitialState, lpName). The
// security attributes are ignored. A named event is shared within this
// process: a second create with the same name gives the existing event (its
// own arguments then have no effect). Names are not seen by other processes.
EventHandle CreateEventA(const void* event_attributes, bool manual_reset, bool initial_state,
                         const char* name);

// False for an empty handle, true otherwise.
bool SetEvent(const EventHandle& event);
bool ResetEvent(const EventHandle& event);

// kWaitObject0, kWaitTimeout, or kWaitFailed for an empty handle.
uint32_t WaitForSingleObject(const EventHandle& event, uint32_t timeout_ms);

// Drops the handle (the event ends with its last handle); false when empty.
bool CloseHandle(EventHandle& event);

}  // namespace platform::win32
