#include "platform/com/event_source.h"

#include <algorithm>
#include <atomic>

#include "platform/basic/compare.h"
#include "platform/basic/err.h"

namespace platform::com {

struct EventSource::Connection {
  Cookie cookie = 0;
  ObjectPtr sink;
  EventHandler handler;
  std::atomic<bool> connected{true};
};

namespace {

// Late-bound delivery to a sink object; false when it has no such member.
bool Deliver(Object& sink, const EventCall& event, Args args) {
  if (!event.name.empty() && sink.TryInvoke(event.name, args)) return true;
  if (event.id != kDispIdUnknown && sink.TryInvoke(event.id, args)) return true;
  return false;
}

}  // namespace

bool EventCall::Is(std::string_view other) const { return TextEquals(name, other); }

EventSource::EventSource() = default;

EventSource::~EventSource() { UnadviseAll(); }

Cookie EventSource::Advise(ObjectPtr sink) {
  if (!sink) return 0;
  auto connection = std::make_shared<Connection>();
  connection->sink = std::move(sink);
  return Connect(std::move(connection));
}

Cookie EventSource::Advise(EventHandler handler) {
  if (!handler) return 0;
  auto connection = std::make_shared<Connection>();
  connection->handler = std::move(handler);
  return Connect(std::move(connection));
}

Cookie EventSource::Connect(std::shared_ptr<Connection> connection) {
  std::lock_guard lock(mutex_);
  connection->cookie = next_cookie_++;
  if (next_cookie_ == 0) next_cookie_ = 1;
  connections_.push_back(std::move(connection));
  return connections_.back()->cookie;
}

bool EventSource::Unadvise(Cookie cookie) {
  std::shared_ptr<Connection> gone;  // released outside the lock
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [cookie](const auto& c) { return c->cookie == cookie; });
    if (it == connections_.end()) return false;
    gone = std::move(*it);
    connections_.erase(it);
    gone->connected = false;
  }
  return true;
}

void EventSource::UnadviseAll() {
  std::vector<std::shared_ptr<Connection>> gone;
  {
    std::lock_guard lock(mutex_);
    gone.swap(connections_);
    for (auto& c : gone) c->connected = false;
  }
}

std::size_t EventSource::SinkCount() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

std::size_t EventSource::Raise(const EventCall& event, Args args) {
  std::vector<std::shared_ptr<Connection>> snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = connections_;
  }
  // From here on nothing of `this` is touched: a sink may release the object
  // that owns this source.
  std::size_t took = 0;
  for (const std::shared_ptr<Connection>& connection : snapshot) {
    if (!connection->connected) continue;
    bool delivered = false;
    const bool ok = Step([&] {
      if (connection->handler) {
        connection->handler(event, args);
        delivered = true;
      } else {
        delivered = Deliver(*connection->sink, event, args);
      }
    });
    if (ok && delivered) ++took;
  }
  return took;
}

std::size_t EventSource::Raise(std::string_view name, std::initializer_list<Variant> args) {
  std::vector<Variant> copies(args);
  return Raise(EventCall{kDispIdUnknown, name}, Args(copies));
}

Cookie ConnectEvents(const ObjectPtr& source, ObjectPtr sink) {
  EventSource* events = source ? source->Events() : nullptr;
  return events ? events->Advise(std::move(sink)) : 0;
}

Cookie ConnectEvents(const ObjectPtr& source, EventHandler handler) {
  EventSource* events = source ? source->Events() : nullptr;
  return events ? events->Advise(std::move(handler)) : 0;
}

bool DisconnectEvents(const ObjectPtr& source, Cookie cookie) {
  EventSource* events = source ? source->Events() : nullptr;
  return events && events->Unadvise(cookie);
}

}  // namespace platform::com
