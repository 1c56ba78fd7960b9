// ResolveHostname and ResolveAddress: answer from the cache or a literal
// address at once, else join or start a lookup.
#include "dns/dns_resolver.h"

#include "contracts/sock_component.h"
#include "platform/basic/err.h"
#include "systemlog/system_log.h"

namespace dns {
namespace {

using platform::Quietly;
using contracts::kInvalidAddress;
using contracts::TextToAddress;

constexpr const char* kBroadcast = "255.255.255.255";

void Notify(const Listener& notify, const std::string& hostname, const std::string& ipaddress) {
  Quietly([&] { NotifyHostResolved(notify, hostname, ipaddress); });
}

}  // namespace

bool cDnsResolver::ResolveHostname(const std::string& hostname, std::string& ipaddress, const Listener& notify) {
  bool answered = false;
  Quietly([&] {
    // A dotted address is its own answer. It is not cached: the cache keeps
    // what reverse lookups found for it.
    if (TextToAddress(hostname) != kInvalidAddress || hostname == kBroadcast) {
      ipaddress = hostname;
      Notify(notify, hostname, hostname);
      answered = true;
      return;
    }
    if (resolved_cache_.Has(hostname)) {
      ipaddress = resolved_cache_.Item(hostname);
      Notify(notify, hostname, ipaddress);
      answered = true;
      return;
    }
    ipaddress.clear();
    if (pending_lookups_.Has(hostname)) {
      AddListener(pending_lookups_.Item(hostname), notify);
      return;
    }
    StartLookup(hostname, kInvalidAddress);
    AddListener(pending_lookups_.Item(hostname), notify);
  });
  return answered;
}

bool cDnsResolver::ResolveAddress(const std::string& ipaddress, std::string& hostname, const Listener& notify) {
  bool answered = false;
  Quietly([&] {
    const int32_t address = TextToAddress(ipaddress);
    if (address == kInvalidAddress) {
      // Not an address: a host name, looked up the other way round. (Asked
      // before the cache, which holds a name's addresses, not its name.)
      hostname = ipaddress;
      std::string unused;
      answered = ResolveHostname(hostname, unused, notify);
      return;
    }
    if (resolved_cache_.Has(ipaddress)) {
      hostname = resolved_cache_.Item(ipaddress);
      Notify(notify, hostname, ipaddress);
      answered = true;
      return;
    }
    hostname.clear();
    if (!pending_lookups_.Has(ipaddress)) StartLookup(ipaddress, address);
    AddListener(pending_lookups_.Item(ipaddress), notify);
  });
  return answered;
}

void cDnsResolver::StartLookup(const std::string& text, int32_t address) {
  if (!socket_) platform::RaiseError(platform::kErrObjectNotSet, {}, "cDnsResolver");
  const int32_t handle =
      address == kInvalidAddress ? socket_->StartForwardLookup(text) : socket_->StartReverseLookup(address);
  pending_keys_[handle] = text;
  service::WriteSystemLog("Adding Pendinglookuphandle " + std::to_string(handle));
  pending_lookups_.Set(text, handle);
}

}  // namespace dns
