#include "bus/bus_service.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <future>

#include "bus/bus_names.h"
#include "bus/bus_server.h"
#include "platform/basic/err.h"
#include "platform/com/apartment_proxy.h"
#include "systemlog/system_log.h"

namespace bus {

std::string SystemBusAddress() {
  const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  return env && *env ? std::string(env) : std::string(kDefaultSystemBusAddress);
}

// --- BusWaker ------------------------------------------------------------

BusWaker::BusWaker() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

BusWaker::~BusWaker() {
  if (fd_ >= 0) ::close(fd_);
}

bool BusWaker::Post(platform::Apartment::Task task) {
  if (!apartment_ || !apartment_->Post(std::move(task))) return false;
  Wake();
  return true;
}

void BusWaker::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void BusWaker::Drain() {
  uint64_t count = 0;
  [[maybe_unused]] ssize_t n = ::read(fd_, &count, sizeof count);
}

// --- BusService ------------------------------------------------------------

std::unique_ptr<BusService> BusService::Start(platform::ApartmentPtr home,
                                              std::function<platform::com::ObjectPtr()> application,
                                              BusOptions options) {
  auto server = std::make_unique<BusServer>(std::move(home), std::move(application), std::move(options));
  // The first try is part of the start, so that its log line comes before
  // the host says it runs.
  server->Start(std::chrono::seconds(10));
  return std::unique_ptr<BusService>(new BusService(std::move(server)));
}

BusService::BusService(std::unique_ptr<BusServer> server) : server_(std::move(server)) {}

BusService::~BusService() { server_->Stop(); }

// --- BusServer: the thread and the connection ------------------------------

BusServer::BusServer(platform::ApartmentPtr home, std::function<platform::com::ObjectPtr()> application,
                     BusOptions options)
    : home_(std::move(home)),
      application_(std::move(application)),
      options_(std::move(options)),
      address_(options_.address.empty() ? SystemBusAddress() : options_.address),
      waker_(std::make_shared<BusWaker>()),
      throttle_(options_.credential_throttle, options_.clock) {
  if (options_.store_job_hook) store_work_.SetJobHookForTesting(options_.store_job_hook);
  store_work_.SetStopping([closing = options_.closing] { return closing && closing->load(); });
}

BusServer::~BusServer() { Stop(); }

void BusServer::Start(std::chrono::milliseconds limit) {
  std::promise<void> running;
  std::future<void> started = running.get_future();
  thread_ = std::thread([this, &running] {
    bus_apartment_ = platform::Apartment::Current();
    waker_->SetApartment(bus_apartment_);
    running.set_value();
    ThreadMain();
    FirstTryOver();
  });
  started.get();
  std::unique_lock lock(first_try_mutex_);
  first_try_changed_.wait_for(lock, limit, [&] { return first_try_over_; });
}

void BusServer::FirstTryOver() {
  {
    std::lock_guard lock(first_try_mutex_);
    if (first_try_over_) return;
    first_try_over_ = true;
  }
  if (options_.first_try_over) options_.first_try_over();
  first_try_changed_.notify_all();
}

void BusServer::Stop() {
  // A running store job ends first (between two files), while the bus is
  // still there to carry its StoreFinished or its listing's answer.
  store_work_.End();
  if (!thread_.joinable()) return;
  stop_ = true;
  waker_->Wake();
  thread_.join();
}

void BusServer::ThreadMain() {
  bool said_missing = false;
  bool had_bus = false;
  while (!stop_) {
    std::string error;
    if (!attached_ && !AttachToService()) {
      FirstTryOver();  // a service without an Application: nothing to offer yet
      WaitForRetry();
      continue;
    }
    if (!Connect(&error) || !Export(&error)) {
      Disconnect();
      if (!said_missing) {
        service::WriteSystemLog(std::string(had_bus ? "Bus: lost the system bus" : "Bus: the system bus is not there") +
                                " (" + address_ + ": " + error + "); the service runs on and takes the name " +
                                kBusName + " when the bus appears");
        said_missing = true;
      }
      FirstTryOver();
      WaitForRetry();
      continue;
    }
    service::WriteSystemLog(std::string(name_queued_ ? "Bus: waiting for the name " : "Bus: took the name ") + kBusName +
                            " on " + address_);
    FirstTryOver();
    said_missing = false;
    had_bus = true;
    const bool lost = !Serve();
    // Signals the service raised up to its end (the stop's own events) go
    // out before the connection closes.
    if (!lost) bus_apartment_->PumpPending();
    Disconnect();
    if (lost && !stop_) {
      service::WriteSystemLog("Bus: lost the system bus (" + address_ + "); the name is taken again when it is back");
      said_missing = true;
    }
  }
  // Whatever the service thread still owes the bus thread is dropped.
  bus_apartment_->PumpPending();
  DetachFromService();
  bus_apartment_->PumpPending();
}

void BusServer::WaitForRetry() {
  pollfd wake{waker_->fd(), POLLIN, 0};
  ::poll(&wake, 1, static_cast<int>(options_.retry.count()));
  waker_->Drain();
  bus_apartment_->PumpPending();
}

bool BusServer::Connect(std::string* error) {
  auto fail = [&](int r, const char* what) {
    *error = std::string(what) + ": " + std::strerror(-r);
    return false;
  };
  int r = sd_bus_new(&bus_);
  if (r < 0) return fail(r, "cannot make a connection");
  r = sd_bus_set_address(bus_, address_.c_str());
  if (r < 0) return fail(r, "bad address");
  sd_bus_set_bus_client(bus_, 1);
  r = sd_bus_start(bus_);
  if (r < 0) return fail(r, "cannot connect");
  // Waits for the bus's hello, so that a bus that is not there is found now.
  const char* unique = nullptr;
  r = sd_bus_get_unique_name(bus_, &unique);
  if (r < 0) return fail(r, "no answer from the bus");
  return true;
}

void BusServer::Disconnect() {
  for (auto& [id, call] : pending_) sd_bus_message_unref(call);
  pending_.clear();
  DropDeferred();
  for (auto& object : exports_) sd_bus_slot_unref(object->slot);
  exports_.clear();
  caller_uids_.clear();
  if (bus_) {
    sd_bus_flush(bus_);
    bus_ = sd_bus_flush_close_unref(bus_);
  }
}

bool BusServer::Serve() {
  while (!stop_) {
    for (;;) {
      const int r = sd_bus_process(bus_, nullptr);
      if (r < 0) return false;
      if (r == 0 || stop_) break;
    }
    if (sd_bus_is_open(bus_) <= 0) return false;
    bus_apartment_->PumpPending();
    RunDueDeferred();

    pollfd fds[2] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                     {waker_->fd(), POLLIN, 0}};
    uint64_t until = 0;
    int timeout = -1;
    if (sd_bus_get_timeout(bus_, &until) > 0 && until != UINT64_MAX) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const uint64_t now_us = static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
      timeout = until <= now_us ? 0 : static_cast<int>(std::min<uint64_t>((until - now_us + 999) / 1000, 60000));
    }
    if (const auto next = NextDeferred()) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - throttle_.Now()).count();
      const int deferred_timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
      timeout = timeout < 0 ? deferred_timeout : std::min(timeout, deferred_timeout);
    }
    if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return false;
    if (fds[1].revents & POLLIN) waker_->Drain();
  }
  return true;
}

}  // namespace bus
