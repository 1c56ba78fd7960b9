#include "platform/apartment/apartment.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <utility>

#include "platform/apartment/thread_serial.h"
#include "platform/basic/err.h"

namespace platform {

// Owns the thread's apartment and closes it when the thread ends.
class Apartment::ThreadHolder {
 public:
  ThreadHolder() : apartment_(new Apartment()) {}
  ~ThreadHolder() { apartment_->Close(); }
  const std::shared_ptr<Apartment>& apartment() const { return apartment_; }

 private:
  std::shared_ptr<Apartment> apartment_;
};

namespace {

// Trivially destructible, so it can still be read while the thread's other
// thread_local objects are being destroyed.
thread_local bool tls_apartment_gone = false;

}  // namespace

std::shared_ptr<Apartment> Apartment::Current() {
  if (tls_apartment_gone) {
    std::shared_ptr<Apartment> closed(new Apartment());
    closed->Close();
    return closed;
  }
  // The error state must outlive the holder: tasks dropped at thread exit may
  // still record errors while they are destroyed.
  (void)Err::Number();
  struct Guarded {
    ThreadHolder holder;
    ~Guarded() { tls_apartment_gone = true; }
  };
  thread_local Guarded guarded;
  return guarded.holder.apartment();
}

Apartment::Apartment() : owner_(std::this_thread::get_id()), owner_serial_(ThreadSerial()) {}

bool Apartment::IsCurrentThread() const { return ThreadSerial() == owner_serial_; }

Apartment::~Apartment() = default;

bool Apartment::Enqueue(Task task, bool quit) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    queue_.push_back(Entry{++last_seq_, std::move(task), quit});
    ++signals_;
  }
  changed_.notify_all();
  return true;
}

bool Apartment::Post(Task task) {
  if (!task) return false;
  return Enqueue(std::move(task), false);
}

void Apartment::Quit() { Enqueue(nullptr, true); }

void Apartment::Wake() {
  {
    std::lock_guard lock(mutex_);
    ++signals_;
  }
  changed_.notify_all();
}

bool Apartment::IsOpen() const {
  std::lock_guard lock(mutex_);
  return !closed_;
}

std::size_t Apartment::PendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool Apartment::PopUpTo(std::uint64_t limit, Entry& entry) {
  std::lock_guard lock(mutex_);
  if (queue_.empty() || queue_.front().seq > limit) return false;
  entry = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

std::size_t Apartment::PumpPending() {
  if (!IsCurrentThread()) return 0;
  std::uint64_t limit;
  {
    std::lock_guard lock(mutex_);
    limit = last_seq_;
  }
  std::size_t ran = 0;
  Entry entry;
  // One entry at a time with the lock released: a task may post, pump again
  // (nested) or wait, and the queue stays consistent for all of them.
  while (PopUpTo(limit, entry)) {
    if (entry.quit) {
      quit_reached_ = true;
      break;
    }
    Step(entry.task);
    entry.task = nullptr;  // release what the task holds before the next runs
    ++ran;
  }
  return ran;
}

std::uint64_t Apartment::Signals() const {
  std::lock_guard lock(mutex_);
  return signals_;
}

void Apartment::Sleep(std::chrono::milliseconds duration, std::uint64_t seen) {
  std::unique_lock lock(mutex_);
  // Not woken by being closed: a waiter on a closed apartment still sleeps
  // its slices rather than spinning.
  changed_.wait_for(lock, duration, [&] { return signals_ != seen; });
}

bool Apartment::Run() {
  if (!IsCurrentThread()) return false;
  while (!quit_reached_) {
    if (PumpPending() == 0 && !quit_reached_) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !queue_.empty() || closed_; });
      if (closed_) break;
    }
  }
  quit_reached_ = false;
  return true;
}

bool Apartment::WaitPumping(const std::function<bool()>& condition,
                            std::chrono::milliseconds timeout,
                            std::chrono::milliseconds slice) {
  using Clock = std::chrono::steady_clock;
  // Between a millisecond and a day: longer naps would overflow the clock.
  slice = std::clamp<std::chrono::milliseconds>(slice, std::chrono::milliseconds(1), std::chrono::hours(24));
  const Clock::time_point start = Clock::now();
  // Anything too long to add to the clock is a wait without limit.
  const bool forever =
      timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - start);
  const Clock::time_point deadline =
      forever ? Clock::time_point::max() : start + std::max(timeout, std::chrono::milliseconds::zero());
  for (;;) {
    // Taken before the condition is tested, so that a post or Wake coming
    // in between cuts the following sleep short instead of being missed.
    const std::uint64_t seen = Signals();
    if (condition()) return true;
    PumpPending();
    if (condition()) return true;
    std::chrono::milliseconds nap = slice;
    if (!forever) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= std::chrono::milliseconds::zero()) return false;
      nap = std::min(nap, left + std::chrono::milliseconds(1));
    }
    Sleep(nap, seen);
  }
}

bool Apartment::Send(Task task) {
  if (!task) return false;
  if (IsCurrentThread()) {
    task();
    return true;
  }
  struct State {
    std::atomic<bool> finished{false};
    bool ran = false;
    std::exception_ptr error;
    std::shared_ptr<Apartment> caller;
  };
  auto state = std::make_shared<State>();
  state->caller = Current();
  // Signals the caller when the posted task is gone: after it ran, or when the
  // owner thread ended and dropped it unrun.
  struct Completion {
    std::shared_ptr<State> state;
    ~Completion() {
      state->finished.store(true, std::memory_order_release);
      state->caller->Wake();
    }
  };
  std::shared_ptr<Completion> completion(new Completion{state});
  const bool posted = Post([task = std::move(task), completion]() {
    State& s = *completion->state;
    try {
      task();
    } catch (...) {
      s.error = std::current_exception();
    }
    s.ran = true;
  });
  completion.reset();
  if (!posted) return false;
  state->caller->WaitPumping([&] { return state->finished.load(std::memory_order_acquire); });
  if (state->error) std::rethrow_exception(state->error);
  return state->ran;
}

void Apartment::Close() {
  std::deque<Entry> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(queue_);
    ++signals_;
  }
  changed_.notify_all();
  // Destroyed outside the lock: a dropped task may release objects whose
  // destructors post (and are refused).
  dropped.clear();
}

}  // namespace platform
