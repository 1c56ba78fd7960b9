#include "service/host/service_toolkit.h"

#include <future>
#include <string>
#include <utility>

#include "platform/basic/err.h"

namespace service {
namespace {

// How often a request still queued for the service thread looks again
// whether a stop began there meanwhile: the longest it waits before the guard
// answers it.
constexpr std::chrono::milliseconds kRecheck{5};

StopRequest ToStopRequest(control::RequestKind kind) {
  switch (kind) {
    case control::RequestKind::kStop: return StopRequest::kStop;
    case control::RequestKind::kShutdown: return StopRequest::kShutdown;
    case control::RequestKind::kUserControlCode: return StopRequest::kUserControlCode;
  }
  return StopRequest::kStop;
}

}  // namespace

struct ServiceToolkit::Pending {
  enum class State { kQueued, kRunning, kDone, kDropped };
  control::Request request;
  State state = State::kQueued;
  control::Answer answer;
};

ServiceToolkit::ServiceToolkit(std::shared_ptr<Service> service) : service_(std::move(service)) {}

ServiceToolkit::~ServiceToolkit() {
  if (!thread_.joinable()) return;
  if (ended_.load()) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

void ServiceToolkit::Start() {
  // The thread sets apartment_ before it says it runs; the promise is shared
  // with it, so that it outlives set_value even when this call has returned.
  auto started = std::make_shared<std::promise<void>>();
  std::future<void> running = started->get_future();
  thread_ = std::thread([this, started] {
    apartment_ = platform::Apartment::Current();
    started->set_value();
    ServiceThreadMain();
  });
  running.get();
}

void ServiceToolkit::SetReports(std::shared_ptr<ManagerReports> reports) {
  if (reports) reports_ = std::move(reports);
}

size_t ServiceToolkit::QueuedRequests() const { return apartment_ ? apartment_->PendingCount() : 0; }

void ServiceToolkit::ServiceThreadMain() {
  platform::Err::Clear();
  service_->OnStart(*this);
  if (!host_reports_ready_) reports_->Ready();
  apartment_->Run();
  {
    // The registered object belongs to this thread: it goes with it.
    std::lock_guard lock(registered_mutex_);
    registered_.reset();
  }
  {
    std::lock_guard lock(end_mutex_);
    ended_ = true;
  }
  end_changed_.notify_all();
  {
    std::lock_guard lock(deliver_mutex_);
  }
  delivered_.notify_all();
}

void ServiceToolkit::RunOnServiceThread(const std::shared_ptr<Pending>& pending) {
  {
    std::lock_guard lock(deliver_mutex_);
    if (pending->state != Pending::State::kQueued) return;  // answered meanwhile by the guard
    if (finished_.load()) {
      // Let in after the stop had finished (between the guard clearing and
      // this task): the service has stopped, and its stop never runs twice.
      pending->state = Pending::State::kDropped;
      delivered_.notify_all();
      return;
    }
    pending->state = Pending::State::kRunning;
  }
  control::Answer answer;
  bool stop_ended = false;
  const bool stop_request = pending->request.kind != control::RequestKind::kUserControlCode ||
                            pending->request.code == kStopControlCode;
  bool stop_begun = false;
  if (stop_request && !service_->StopRunning()) {
    repeated_requests_ = 0;
    {
      std::lock_guard lock(end_mutex_);
      stop_began_ = std::chrono::steady_clock::now();
    }
    end_changed_.notify_all();
    reports_->Stopping();
    stop_begun = true;
    if (stop_begins_hook_) stop_begins_hook_(true);
  }
  switch (pending->request.kind) {
    case control::RequestKind::kStop:
      answer.result = service_->OnStop(*this);
      stop_ended = answer.result == 0;
      break;
    case control::RequestKind::kShutdown:
      answer.result = service_->OnShutdown(*this, answer.busy);
      stop_ended = answer.result == 0;
      break;
    case control::RequestKind::kUserControlCode:
      service_->OnUserControlCode(*this, pending->request.code);
      break;
  }
  if (stop_ended && stop_returned_hook_) stop_returned_hook_();
  if (stop_begun && !stop_ended) {
    if (stop_begins_hook_) stop_begins_hook_(false);
    {
      std::lock_guard lock(end_mutex_);
      stop_began_.reset();
    }
    end_changed_.notify_all();
  }
  {
    std::lock_guard lock(deliver_mutex_);
    if (stop_ended) finished_ = true;
    pending->answer = answer;
    pending->state = Pending::State::kDone;
  }
  delivered_.notify_all();
  // The end of a stop ends the service.
  if (stop_ended) {
    reports_->Status("stopped");
    apartment_->Quit();
  }
}

std::optional<control::Answer> ServiceToolkit::Deliver(const control::Request& request,
                                                       std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const bool bounded = limit < std::chrono::hours(24 * 365);
  const Clock::time_point deadline = bounded ? Clock::now() + limit : Clock::time_point::max();
  auto pending = std::make_shared<Pending>();
  pending->request = request;
  if (ended_.load() || finished_.load() ||
      !apartment_->Post([this, pending] { RunOnServiceThread(pending); })) {
    return std::nullopt;
  }

  std::unique_lock lock(deliver_mutex_);
  for (;;) {
    if (pending->state == Pending::State::kDone) return pending->answer;
    if (pending->state == Pending::State::kDropped) return std::nullopt;
    if (bounded && Clock::now() >= deadline) return std::nullopt;
    if (pending->state == Pending::State::kQueued) {
      if (ended_.load()) {
        pending->state = Pending::State::kDropped;
        return std::nullopt;
      }
      // The service thread has not taken it: if that is because a stop is
      // running there, the guard answers it here and now.
      control::Answer answer;
      if (service_->AnswerWhileStopping(*this, ToStopRequest(request.kind), request.code, &answer.result,
                                        &answer.busy)) {
        pending->state = Pending::State::kDone;
        pending->answer = answer;
        const int count = ++repeated_requests_;
        reports_->Status("stopping; a further request during the stop answered " + std::to_string(answer.result) +
                         " (" + std::to_string(count + 1) + " so far; the ninth stops the service outright)");
        return answer;
      }
    } else if (ended_.load()) {
      // Taken by the service thread, which ended inside it (StopService).
      return std::nullopt;
    }
    if (pending->state == Pending::State::kQueued) {
      delivered_.wait_for(lock, kRecheck);
    } else if (bounded) {
      delivered_.wait_until(lock, deadline);
    } else {
      delivered_.wait(lock);
    }
  }
}

bool ServiceToolkit::WaitForEnd(std::chrono::milliseconds grace, std::chrono::milliseconds stop_limit) {
  std::unique_lock lock(end_mutex_);
  const auto settled = [this] { return ended_.load() || stop_service_requested_.load(); };
  for (;;) {
    end_changed_.wait(lock, [&] { return settled() || stop_began_.has_value(); });
    if (settled()) break;
    // A stop runs: it has until its limit to end the service (a stop the
    // service turns down clears stop_began_ again).
    const auto began = *stop_began_;
    const bool bounded = stop_limit < std::chrono::hours(24 * 365);
    if (!bounded) {
      end_changed_.wait(lock, [&] { return settled() || stop_began_ != began; });
    } else if (!end_changed_.wait_until(lock, began + stop_limit,
                                        [&] { return settled() || stop_began_ != began; })) {
      return false;
    }
    if (settled()) break;
  }
  if (ended_.load()) return true;
  end_changed_.wait_for(lock, grace, [this] { return ended_.load(); });
  return ended_.load();
}

bool ServiceToolkit::WaitForEndFor(std::chrono::milliseconds limit) {
  std::unique_lock lock(end_mutex_);
  return end_changed_.wait_for(lock, limit, [this] { return ended_.load(); });
}

platform::com::ObjectPtr ServiceToolkit::RegisteredObject() const {
  std::lock_guard lock(registered_mutex_);
  return registered_;
}

void ServiceToolkit::RegisterObject(platform::com::ObjectPtr object) {
  std::lock_guard lock(registered_mutex_);
  registered_ = std::move(object);
}

void ServiceToolkit::StopService() {
  finished_ = true;
  {
    std::lock_guard lock(end_mutex_);
    stop_service_requested_ = true;
  }
  end_changed_.notify_all();
  if (apartment_) apartment_->Quit();
}

}  // namespace service
