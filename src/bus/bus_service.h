// hearthd on the system bus: takes the name com.norvale.Hearth and offers
// the Application object, the system and current-user settings collections,
// the shared cIoNotify object and the name resolver, one object path each
// (bus_names.h). Calls arrive on a bus thread of their own and run on the
// service thread through its apartment, one at a time; the objects' events
// become signals.
//
//   auto bus = bus::BusService::Start(toolkit.ServiceApartment(),
//                                     [&] { return toolkit.RegisteredObject(); });
//   ...                                  // serve
//   bus.reset();                         // leave the bus before the service ends
//
// Without a bus (a container, a build machine) the service runs on: one line
// in the system log says so, and the name is taken as soon as the bus
// appears; a bus that goes away is waited for the same way.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "bus/failure_throttle.h"
#include "platform/apartment/apartment.h"
#include "platform/com/object_fwd.h"

namespace bus {

struct BusOptions {
  // The bus to use; empty: $DBUS_SYSTEM_BUS_ADDRESS, else the system bus.
  std::string address;
  // How often a missing bus is looked for again.
  std::chrono::milliseconds retry{std::chrono::milliseconds(500)};
  // Set (on the service thread) while the service stops: calls that reach
  // the service thread from then on are refused (NotAvailable) instead of
  // running after the stop has stored everything.
  std::shared_ptr<std::atomic<bool>> closing;
  // Called once, on the bus thread, when the first try to reach the bus is
  // over: the name is taken, or the bus is not there (the service runs on
  // without it), or the service has no Application to offer.
  std::function<void()> first_try_over;
  // How failed ValidateWindowsUserCredentials calls slow their caller, and
  // the clock that measures it (a test's own).
  ThrottlePolicy credential_throttle;
  FailureThrottle::Clock clock = &std::chrono::steady_clock::now;
  // Called on the store thread as each store-file job begins (a test holds
  // one there to find the work busy).
  std::function<void(const std::string& what)> store_job_hook;
};

// The address BusOptions{} connects to.
std::string SystemBusAddress();

class BusServer;

class BusService {
 public:
  // `home` is the service thread's apartment; `application` is called there
  // for the Application object (Nothing while the service has none).
  static std::unique_ptr<BusService> Start(platform::ApartmentPtr home,
                                           std::function<platform::com::ObjectPtr()> application,
                                           BusOptions options = {});
  // Leaves the bus and disconnects from the objects' events.
  ~BusService();
  BusService(const BusService&) = delete;
  BusService& operator=(const BusService&) = delete;

 private:
  explicit BusService(std::unique_ptr<BusServer> server);
  std::unique_ptr<BusServer> server_;
};

}  // namespace bus
