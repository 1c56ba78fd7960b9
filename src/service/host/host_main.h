// hearthd's whole run, from its command line to its exit status, so that
// tests can run it in a child process with hooks at its turning points.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "service/lifecycle/service.h"

namespace service {

class ControlServer;

enum class HostPoint {
  kSignalsBlocked,  // first thing: the stop signals are blocked
  kReady,           // the control server runs; signals are taken from now on
};

struct HostHooks {
  // Called at each point (may be empty).
  std::function<void(HostPoint)> at;
  // Makes the service (default: a Service).
  std::function<std::shared_ptr<Service>()> make_service;
  // Starts the control server (default: ControlServer::Start with signals).
  std::function<bool(ControlServer&, std::string*)> start_server;
  // How long a stop may take on the ways out that do not wait for it: after
  // StopService, and when the host could not start.
  std::chrono::milliseconds stop_grace = std::chrono::seconds(3);
  // How long a stop may run before the host leaves without it, whatever
  // holds it (a plug-in that does not return). Zero: five sixths of the
  // configuration's stop wait (75 s of the unit's TimeoutStopSec of 90 s),
  // so the host says why before systemd kills it.
  std::chrono::milliseconds stop_limit{0};
};

// Runs hearthd with `args` (without the program name). The exit status: 0
// after the service stopped, 1 when it could not start, 2 bad usage.
int HearthdMain(const std::vector<std::string>& args, const HostHooks& hooks = {});

}  // namespace service
