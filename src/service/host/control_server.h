// hearthd's requests from outside: the control socket (control_protocol.h)
// and the signals SIGTERM and SIGINT (a stop), SIGPWR (a system shutdown).
// One loop thread waits for both; each request is then answered on a worker
// thread of its own, so a request that waits for a long stop never holds up
// the next one (which the stop guard then answers at once).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "service/host/service_toolkit.h"

namespace service {

// Blocks SIGTERM, SIGINT and SIGPWR in the calling thread and every thread it
// starts afterwards, so that only the server's loop takes them; ignores
// SIGPIPE. Call it first thing in main.
void BlockServiceSignals();

// More requests than this are never answered at once.
inline constexpr int kMaxControlWorkers = 32;

class ControlServer {
 public:
  // `max_workers`: requests answered at once; a request beyond that is
  // turned away, a signal beyond it is queued until a worker is free.
  explicit ControlServer(ServiceToolkit& toolkit, int max_workers = kMaxControlWorkers);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Binds and listens at `socket_path`. A socket file left there by an
  // earlier run is replaced (the caller holds the instance lock). False with
  // *error set.
  bool Listen(const std::string& socket_path, std::string* error);

  // Starts the loop thread. With `take_signals` the loop also takes the
  // signals BlockServiceSignals blocked. False with *error set.
  bool Start(bool take_signals, std::string* error);

  // Ends the loop, waits up to `wait` for the requests still being answered
  // and removes the socket file. False when some are still running (the
  // caller must then not destroy the server or the toolkit).
  bool Stop(std::chrono::milliseconds wait);

  // What the loop does with each signal it takes: SIGTERM and SIGINT ask
  // for a stop, or for a shutdown while the system goes down; SIGPWR for a
  // shutdown. Delivered on a worker; with every worker busy it waits in a
  // queue (and the log says so) until one is free: never dropped.
  void HandleSignal(int signal_number);

  // Whether the system is going down (a SIGTERM is then a shutdown); by
  // default the system manager is asked.
  void SetShutdownProbe(std::function<bool()> probe) { shutdown_probe_ = std::move(probe); }

  // Signals waiting for a free worker.
  size_t QueuedSignals();

 private:
  void Loop();
  void Accept();
  void TakeSignal();
  void DeliverSignal(int signal_number);
  // Runs `work`, then the signals queued meanwhile, then gives its place up.
  void RunWorker(const std::function<void()>& work);
  // Runs `work` on a worker thread; false (and nothing runs) at the limit.
  template <class F>
  bool StartWorker(F&& work);
  void Answer(int connection);

  ServiceToolkit& toolkit_;
  std::string socket_path_;
  int listen_fd_ = -1;
  int signal_fd_ = -1;
  int wake_fd_ = -1;
  std::thread loop_;

  const int max_workers_;
  std::function<bool()> shutdown_probe_;
  std::mutex workers_mutex_;
  std::condition_variable workers_done_;
  int active_workers_ = 0;
  std::deque<int> queued_signals_;
};

}  // namespace service
