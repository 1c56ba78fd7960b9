// What a member's call may ask of the bus side while it runs on the bus
// thread.
#pragma once

#include <systemd/sd-bus.h>

#include "platform/com/object_fwd.h"

namespace bus {

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
};

}  // namespace bus
