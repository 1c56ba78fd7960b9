#include "platform/win32/event.h"

#include <chrono>
#include <map>
#include <string>

namespace platform::win32 {

Event::Event(bool manual_reset, bool initial_state) : manual_reset_(manual_reset), signalled_(initial_state) {}

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  if (manual_reset_) {
    signalled_cv_.notify_all();
  } else {
    signalled_cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

uint32_t Event::Wait(uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  auto is_signalled = [this] { return signalled_; };
  if (timeout_ms == kInfinite) {
    signalled_cv_.wait(lock, is_signalled);
  } else if (!signalled_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), is_signalled)) {
    return kWaitTimeout;
  }
  if (!manual_reset_) signalled_ = false;
  return kWaitObject0;
}

EventHandle CreateEventA(const void* /*event_attributes*/, bool manual_reset, bool initial_state,
                         const char* name) {
  if (name == nullptr || *name == '\0') return std::make_shared<Event>(manual_reset, initial_state);
  static std::mutex names_mutex;
  static auto* named = new std::map<std::string, std::weak_ptr<Event>>;
  std::lock_guard lock(names_mutex);
  // Forget names whose events have ended.
  std::erase_if(*named, [](const auto& entry) { return entry.second.expired(); });
  if (EventHandle existing = (*named)[name].lock()) return existing;
  auto event = std::make_shared<Event>(manual_reset, initial_state);
  (*named)[name] = event;
  return event;
}

bool SetEvent(const EventHandle& event) {
  if (!event) return false;
  event->Set();
  return true;
}

bool ResetEvent(const EventHandle& event) {
  if (!event) return false;
  event->Reset();
  return true;
}

uint32_t WaitForSingleObject(const EventHandle& event, uint32_t timeout_ms) {
  return event ? event->Wait(timeout_ms) : kWaitFailed;
}

bool CloseHandle(EventHandle& event) {
  if (!event) return false;
  event.reset();
  return true;
}

}  // namespace platform::win32
