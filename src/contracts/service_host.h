// What the system asks of the service host toolkit that runs it. The host
// hands this object to every service callback.
#pragma once

#include "platform/com/object_fwd.h"

namespace contracts {

class ServiceHost {
 public:
  virtual ~ServiceHost() = default;

  // Makes the running instance's application object reachable for clients.
  virtual void RegisterObject(platform::com::ObjectPtr object) = 0;

  // Asks the host to stop the service outright.
  virtual void StopService() = 0;
};

}  // namespace contracts
