// What a member's call may ask of the bus side while it runs on the bus
// thread.
#pragma once

#include <systemd/sd-bus.h>

#include <functional>

#include "platform/com/object_fwd.h"

namespace bus {

class StoreWork;

class CallContext {
 public:
  virtual ~CallContext() = default;
  // The object the call goes to: a proxy that runs calls on the service
  // thread. Raises CallError (NotAvailable) when the service has none.
  virtual platform::com::ObjectPtr Target() = 0;
  // A resolver listener that raises the HostResolved signal.
  virtual platform::com::ObjectPtr SignalListener() = 0;
  // A resolver listener that answers `call` later with the host name
  // (`want_address` false) or the addresses it hears.
  virtual platform::com::ObjectPtr ReplyListener(sd_bus_message* call, bool want_address) = 0;
  // The store-file work of the bus (one job at a time, off the bus thread).
  virtual StoreWork& StoreOperations() = 0;
  // A poster that work on other threads keeps (it outlives this context,
  // which goes with the connection): from any thread, it runs a task on the
  // bus thread with the connection (nullptr while there is none), and
  // answers false when the bus thread has ended (the task is dropped unrun).
  using BusPost = std::function<bool(std::function<void(sd_bus* bus)> task)>;
  virtual BusPost BusPoster() = 0;
};

}  // namespace bus
