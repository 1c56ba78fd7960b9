#include "dns/listener.h"

#include "typelib/host_resolved.h"

namespace dns {

void NotifyHostResolved(const Listener& listener, const std::string& hostname, const std::string& ipaddress) {
  if (!listener) return;
  if (auto typed = platform::com::QueryInterface<typelib::IHostResolved>(listener)) {
    typed->HostResolved(hostname, ipaddress);
  } else {
    listener->Invoke("HostResolved", {platform::Variant(hostname), platform::Variant(ipaddress)});
  }
}

}  // namespace dns
