#include "service/host/control_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/host/system_manager.h"
#include "service/host/control_protocol.h"
#include "service/host/unix_socket_address.h"
#include "systemlog/system_log.h"

namespace service {
namespace {

// How long a client may take to send its request line.
constexpr int kRequestTimeoutSeconds = 2;

sigset_t ServiceSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGPWR);
  return set;
}

void SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// The request line, without its line end; false with *error for one that
// is too long or never came.
bool ReadRequestLine(int fd, std::string* line, std::string* error) {
  char buffer[control::kMaxRequestLength + 1];
  size_t length = 0;
  while (length < sizeof buffer) {
    const ssize_t n = ::recv(fd, buffer + length, sizeof buffer - length, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = "no request line arrived";
      return false;
    }
    if (n == 0) break;  // a request without its line end is taken as it stands
    const char* newline = static_cast<const char*>(std::memchr(buffer + length, '\n', static_cast<size_t>(n)));
    length += static_cast<size_t>(n);
    if (newline != nullptr) {
      line->assign(buffer, static_cast<size_t>(newline - buffer));
      return true;
    }
  }
  if (length >= sizeof buffer) {
    *error = "request too long";
    return false;
  }
  line->assign(buffer, length);
  return true;
}

}  // namespace

void BlockServiceSignals() {
  sigset_t set = ServiceSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

namespace {

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGPWR: return "SIGPWR";
  }
  return "a signal";
}

}  // namespace

ControlServer::ControlServer(ServiceToolkit& toolkit, int max_workers)
    : toolkit_(toolkit), max_workers_(max_workers), shutdown_probe_(platform::host::SystemIsShuttingDown) {}

ControlServer::~ControlServer() {
  if (loop_.joinable() || listen_fd_ >= 0) Stop(std::chrono::seconds(2));
}

bool ControlServer::Listen(const std::string& socket_path, std::string* error) {
  control::UnixSocketAddress address(socket_path);
  if (!address.valid()) {
    *error = "cannot use the control socket path " + socket_path;
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("cannot make the control socket: ") + std::strerror(errno);
    return false;
  }
  ::unlink(socket_path.c_str());
  if (::bind(fd, address.get(), address.size()) != 0 || ::listen(fd, 16) != 0) {
    *error = "cannot listen on " + socket_path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  // Only the service's own account may send it requests.
  ::chmod(socket_path.c_str(), 0600);
  listen_fd_ = fd;
  socket_path_ = socket_path;
  return true;
}

bool ControlServer::Start(bool take_signals, std::string* error) {
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    *error = std::string("cannot make an event: ") + std::strerror(errno);
    return false;
  }
  if (take_signals) {
    sigset_t set = ServiceSignals();
    signal_fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signal_fd_ < 0) {
      *error = std::string("cannot take signals: ") + std::strerror(errno);
      return false;
    }
  }
  loop_ = std::thread([this] { Loop(); });
  return true;
}

void ControlServer::Loop() {
  for (;;) {
    pollfd fds[3] = {{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}, {signal_fd_, POLLIN, 0}};
    const int ready = ::poll(fds, 3, -1);  // negative descriptors are skipped
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    if (fds[1].revents != 0) Accept();
    if (fds[2].revents != 0) TakeSignal();
  }
}

void ControlServer::Accept() {
  const int connection = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection < 0) return;
  timeval timeout{kRequestTimeoutSeconds, 0};
  ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (!StartWorker([this, connection] { Answer(connection); })) {
    SendAll(connection, control::FormatError("too many requests at once; try again"));
    ::close(connection);
  }
}

void ControlServer::Answer(int connection) {
  std::string line;
  std::string error;
  std::string reply;
  if (!ReadRequestLine(connection, &line, &error)) {
    reply = control::FormatError(error);
  } else if (std::optional<control::Request> request = control::ParseRequest(line, &error); !request) {
    reply = control::FormatError(error);
  } else if (std::optional<control::Answer> answer = toolkit_.Deliver(*request); !answer) {
    reply = control::FormatError("the service has stopped");
  } else {
    reply = control::FormatAnswer(*request, *answer);
  }
  SendAll(connection, reply);
  ::close(connection);
}

void ControlServer::TakeSignal() {
  signalfd_siginfo info{};
  while (::read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    HandleSignal(static_cast<int>(info.ssi_signo));
  }
}

void ControlServer::HandleSignal(int signal_number) {
  if (StartWorker([this, signal_number] { DeliverSignal(signal_number); })) return;
  {
    std::lock_guard lock(workers_mutex_);
    // A worker may have ended in between: it would not look at the queue
    // again, so try once more before queueing.
    if (active_workers_ < max_workers_) {
      ++active_workers_;
    } else {
      queued_signals_.push_back(signal_number);
      signal_number = -signal_number;
    }
  }
  if (signal_number < 0) {
    WriteSystemLog(std::string("hearthd: every control worker is busy; ") + SignalName(-signal_number) +
                   " queued until one is free");
    return;
  }
  std::thread([this, signal_number] { RunWorker([this, signal_number] { DeliverSignal(signal_number); }); })
      .detach();
}

size_t ControlServer::QueuedSignals() {
  std::lock_guard lock(workers_mutex_);
  return queued_signals_.size();
}

void ControlServer::DeliverSignal(int signal_number) {
  control::Request request;
  request.kind = signal_number == SIGPWR || shutdown_probe_() ? control::RequestKind::kShutdown
                                                              : control::RequestKind::kStop;
  toolkit_.Deliver(request);
}

void ControlServer::RunWorker(const std::function<void()>& work) {
  work();
  for (;;) {
    int signal_number = 0;
    {
      // Notified under the lock: once Stop sees no workers, none touches the
      // server any more.
      std::lock_guard lock(workers_mutex_);
      if (queued_signals_.empty()) {
        --active_workers_;
        workers_done_.notify_all();
        return;
      }
      signal_number = queued_signals_.front();
      queued_signals_.pop_front();
    }
    DeliverSignal(signal_number);
  }
}

template <class F>
bool ControlServer::StartWorker(F&& work) {
  {
    std::lock_guard lock(workers_mutex_);
    if (active_workers_ >= max_workers_) return false;
    ++active_workers_;
  }
  std::thread([this, work = std::forward<F>(work)]() mutable { RunWorker(work); }).detach();
  return true;
}

bool ControlServer::Stop(std::chrono::milliseconds wait) {
  if (loop_.joinable()) {
    const uint64_t one = 1;
    const ssize_t ignored = ::write(wake_fd_, &one, sizeof one);
    (void)ignored;
    loop_.join();
  }
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    ::unlink(socket_path_.c_str());
  }
  for (int* fd : {&signal_fd_, &wake_fd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  std::unique_lock lock(workers_mutex_);
  return workers_done_.wait_for(lock, wait, [this] { return active_workers_ == 0; });
}

}  // namespace service
