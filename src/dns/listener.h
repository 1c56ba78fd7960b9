// A listener of the resolver: any object that takes HostResolved(hostname,
// ipaddress) — through IHostResolved when it implements it, else as a
// late-bound call — or Nothing, which hears nothing.
#pragma once

#include <string>

#include "platform/com/object.h"

namespace dns {

using Listener = platform::com::ObjectPtr;

// Calls the listener; what it raises passes to the caller.
void NotifyHostResolved(const Listener& listener, const std::string& hostname, const std::string& ipaddress);

}  // namespace dns
