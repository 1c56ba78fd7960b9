// One apartment per thread: a queue of tasks that any thread may post to and
// only the owner thread drains, in the order they were posted. Objects that
// live on a thread are reached from other threads by posting to its apartment;
// code that has to wait keeps the queue moving (WaitPumping), so calls may
// re-enter while it waits, as they do on a thread with a message loop.
//
//   auto service = platform::Apartment::Current();         // on the service thread
//   std::thread([service] { service->Post([] { DoWork(); }); }).detach();
//   service->Run();                                          // until Quit()
//
// The handle is a shared_ptr that other threads may keep after the owner
// thread ended: Post then returns false and nothing runs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class Apartment {
 public:
  using Task = std::function<void()>;
  // A wait that never gives up.
  static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();
  static constexpr std::chrono::milliseconds kDefaultSlice{10};

  // The calling thread's apartment, created on first use. Once the thread's
  // apartment has been torn down (thread exit) this is a closed apartment.
  static std::shared_ptr<Apartment> Current();

  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment();

  // Queues a task to run on the owner thread; any thread, the owner included.
  // False (and the task is dropped) when the owner thread has ended or the
  // task is empty.
  bool Post(Task task);

  // Runs `task` on the owner thread and waits until it has run, pumping the
  // caller's own apartment meanwhile so that calls back into the caller do not
  // deadlock. On the owner thread the task runs at once. Whatever the task
  // throws is rethrown here. False when the owner thread ended before running
  // it.
  bool Send(Task task);

  // Owner thread: runs the tasks queued when the call began (not those they
  // post), in order; stops early at a Quit. Returns how many ran. A throwing
  // task is recorded as the thread's pending error and the pump goes on.
  // From any other thread: does nothing, returns 0.
  std::size_t PumpPending();

  // Owner thread: runs tasks as they arrive until Quit() is reached in the
  // queue; the tasks posted before the Quit run first. A Quit that was reached
  // while no loop was running ends the next Run at once. Returns false (at
  // once) when called from another thread.
  bool Run();

  // Asks the running (or next) Run to return; any thread. Queued behind the
  // tasks already posted.
  void Quit();

  // Waits until `condition` holds or `timeout` passes, running the owner's
  // queue in between: each round pumps, tests the condition, then sleeps up
  // to `slice` (a post or Wake ends the sleep early). True when the condition
  // held. The condition is tested on the calling thread. From another thread
  // than the owner it waits the same way without pumping.
  bool WaitPumping(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = kInfinite,
                   std::chrono::milliseconds slice = kDefaultSlice);

  // Ends the current sleep of Run or WaitPumping without queueing a task, so
  // that a condition changed by another thread is seen at once.
  void Wake();

  // True on the owner thread. Threads are told apart by a number never given
  // twice (thread_serial.h): a thread that takes over a dead owner's
  // std::thread::id is a stranger here.
  bool IsCurrentThread() const;
  // False once the owner thread has ended.
  bool IsOpen() const;
  // Tasks (and Quit requests) waiting to run.
  std::size_t PendingCount() const;
  // The owner's std::thread::id, for display and comparison while it lives.
  std::thread::id owner() const { return owner_; }

 private:
  struct Entry {
    std::uint64_t seq = 0;
    Task task;
    bool quit = false;
  };
  class ThreadHolder;

  // For the calling thread.
  Apartment();
  bool Enqueue(Task task, bool quit);
  // Pops the next entry numbered no later than `limit`; false when none.
  bool PopUpTo(std::uint64_t limit, Entry& entry);
  // The count of posts and wakes so far.
  std::uint64_t Signals() const;
  // Sleeps up to `duration` unless something was posted or woken since the
  // count was `seen`.
  void Sleep(std::chrono::milliseconds duration, std::uint64_t seen);
  // Owner thread ended: refuse posts and drop what is queued.
  void Close();

  const std::thread::id owner_;
  const std::uint64_t owner_serial_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Entry> queue_;
  std::uint64_t last_seq_ = 0;
  std::uint64_t signals_ = 0;  // bumped by every post and Wake
  bool closed_ = false;
  // Owner thread only: a Quit was taken from the queue and no Run ended yet.
  bool quit_reached_ = false;
};

using ApartmentPtr = std::shared_ptr<Apartment>;

}  // namespace platform
