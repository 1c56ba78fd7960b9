// Events (connection points): an object holds an EventSource per event
// interface and raises its events to every connected sink, synchronously and
// in connection order.
//
//   EventSource events_;                                         // in the class
//   Cookie c = obj->events().Advise(sink_object);                // late bound
//   Cookie d = obj->events().Advise([](const EventCall& e, Args args) {
//     if (e.Is("SettingChanged")) ...                            // C++ callback
//   });
//   events_.Raise("SettingChanged", args);                       // args by reference
//
// A sink object receives the event as a late-bound call of the member of that
// name (or id); a sink without that member simply does not take the event. A
// sink that fails does not stop the others: its error is recorded as the
// raising thread's pending error. Sinks may connect and disconnect (also
// themselves) while an event is being raised: one disconnected before its
// turn is not called, one connected during the raise gets the next event. A
// sink may even release the object that raises: the source then goes away
// with its connections, and the sinks not yet called are not called.
// Connected sinks are held (counted references) until Unadvise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/com/object.h"

namespace platform::com {

// Identifies a connection; 0 is never handed out.
using Cookie = uint32_t;

// Which event is being raised: by name, by id, or both.
struct EventCall {
  DispId id = kDispIdUnknown;
  std::string_view name;
  // The event's name, compared without regard to letter case.
  bool Is(std::string_view other) const;
};

using EventHandler = std::function<void(const EventCall& event, Args args)>;

class EventSource {
 public:
  EventSource();
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;
  ~EventSource();

  // Connects a sink; 0 (nothing connected) for Nothing or an empty handler.
  Cookie Advise(ObjectPtr sink);
  Cookie Advise(EventHandler handler);
  // False when the cookie is not connected.
  bool Unadvise(Cookie cookie);
  void UnadviseAll();
  std::size_t SinkCount() const;

  // Raises an event to every sink connected now. Returns how many sinks took
  // it without failing. An object sink is called by name when the event has
  // one, else (or when it has no member of that name) by id.
  std::size_t Raise(const EventCall& event, Args args = {});
  std::size_t Raise(std::string_view name, Args args = {}) { return Raise(EventCall{kDispIdUnknown, name}, args); }
  std::size_t Raise(DispId id, Args args = {}) { return Raise(EventCall{id, {}}, args); }
  // By value: for events whose sinks write nothing back.
  std::size_t Raise(std::string_view name, std::initializer_list<Variant> args);

 private:
  struct Connection;
  Cookie Connect(std::shared_ptr<Connection> connection);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Connection>> connections_;
  Cookie next_cookie_ = 1;
};

// Connects a sink to the events an object raises (Object::Events): Basic's
// WithEvents for code that holds only the reference. 0 when the object is
// Nothing or raises no events. (A cross-apartment proxy offers none: connect
// on the object's own thread.)
Cookie ConnectEvents(const ObjectPtr& source, ObjectPtr sink);
Cookie ConnectEvents(const ObjectPtr& source, EventHandler handler);
// False when the object raises no events or the cookie is not connected.
bool DisconnectEvents(const ObjectPtr& source, Cookie cookie);

}  // namespace platform::com
