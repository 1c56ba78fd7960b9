// cDnsResolver: host names to addresses and addresses to host names without
// blocking the caller. A request starts a lookup in the socket component and
// returns at once; when the answer comes (on this thread, as its apartment
// pumps), every listener registered for that lookup hears it in the order it
// asked. Answers, failures included (as empty text), are cached for the life
// of the resolver, so a repeated question is answered at once.
//
//   std::string address;
//   if (!resolver.ResolveHostname("host.example", address, listener)) {
//     // listener->HostResolved("host.example", "10.0.0.1 10.0.0.2") comes later
//   }
//   std::string name = resolver.GetHostname("10.0.0.1");  // waits, pumping
//
// The resolver lives on one thread: call it there only. It is an object of
// the object model; late-bound callers pass listeners as objects (Nothing or
// a missing argument for none).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "contracts/sock_component.h"
#include "dns/keyed_collection.h"
#include "dns/listener.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"

namespace dns {

class cDnsResolver : public platform::com::Object {
 public:
  // With the c-ares socket component, configured from the machine root.
  cDnsResolver();
  // With a socket component of the caller's choosing.
  explicit cDnsResolver(std::unique_ptr<contracts::SockComponent> socket);
  // Logs "In cDnsResolver.Terminate".
  ~cDnsResolver() override;
  cDnsResolver(const cDnsResolver&) = delete;
  cDnsResolver& operator=(const cDnsResolver&) = delete;

  // Cancels every outstanding lookup; their listeners are not called, and a
  // GetHostname or GetAddress waiting on one returns empty text.
  void BeforeTerminate();
  // Forgets the cached answer for a host name and looks it up again.
  void Refresh(const std::string& hostname, const Listener& notify = nullptr);
  // Blocking forms: wait (pumping this thread) for the answer.
  std::string GetHostname(const std::string& ipaddress);
  std::string GetAddress(const std::string& hostname);
  // True when answered now (from the cache, or a literal address), with the
  // answer in the in/out text and notify called before returning; false when
  // a lookup is under way and notify will hear the answer.
  bool ResolveAddress(const std::string& ipaddress, std::string& hostname, const Listener& notify = nullptr);
  bool ResolveHostname(const std::string& hostname, std::string& ipaddress, const Listener& notify = nullptr);

 protected:
  // Late-bound members, in interface order: BeforeTerminate, Refresh,
  // GetHostname, GetAddress, ResolveAddress, ResolveHostname (the in/out text
  // is written back to the caller's argument).
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  class SockEvents;

  // Starts a lookup of `text` (a name, or a dotted address when `address` is
  // not -1) and records it as pending.
  void StartLookup(const std::string& text, int32_t address);
  void AddListener(int32_t handle, const Listener& notify);
  // How long the socket component may take to report a lookup (0: unknown).
  std::chrono::milliseconds LongestLookup() const;
  // The socket component's answer to a request; `entry` null when it failed.
  void CompleteRequest(int32_t handle, const contracts::HostEntry* entry);
  void StoreHostEntry(std::string& key, const contracts::HostEntry& entry);
  // Hands the answer to every listener of the request, the name first.
  void DispatchAnswer(int32_t handle, std::string key);

  // The tables keyed by request handle hold it as a number rather than as
  // its decimal text: the same keys, without the conversions.
  std::unordered_map<int32_t, std::string> pending_keys_;        // handle -> looked-up text
  KeyedCollection<int32_t> pending_lookups_;                     // looked-up text -> handle
  std::unordered_map<int32_t, std::vector<Listener>> listeners_;  // handle -> listeners, in order
  KeyedCollection<std::string> resolved_cache_;                  // name -> addresses, address -> name
  std::shared_ptr<SockEvents> events_;
  std::unique_ptr<contracts::SockComponent> socket_;
};

}  // namespace dns
