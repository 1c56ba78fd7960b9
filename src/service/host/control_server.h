// hearthd's requests from outside: the control socket (control_protocol.h)
// and the signals SIGTERM and SIGINT (a stop), SIGPWR (a system shutdown).
// One loop thread waits for both; each request is then answered on a worker
// thread of its own, so a request that waits for a long stop never holds up
// the next one (which the stop guard then answers at once).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "service/host/service_toolkit.h"

namespace service {

// Blocks SIGTERM, SIGINT and SIGPWR in the calling thread and every thread it
// starts afterwards, so that only the server's loop takes them; ignores
// SIGPIPE. Call it first thing in main.
void BlockServiceSignals();

class ControlServer {
 public:
  explicit ControlServer(ServiceToolkit& toolkit);
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

 private:
  void Loop();
  void Accept();
  void TakeSignal();
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

  std::mutex workers_mutex_;
  std::condition_variable workers_done_;
  int active_workers_ = 0;
};

}  // namespace service
