// cDnsResult: the listener the blocking lookups (GetHostname, GetAddress)
// wait on. HostResolved stores the answer and signals an event; Wait waits
// for it while keeping the thread's apartment pumping, which is how the
// answer gets delivered on this very thread.
#pragma once

#include <chrono>
#include <string>

#include "platform/com/dispatch_table.h"
#include "platform/win32/event.h"
#include "typelib/host_resolved.h"

namespace dns {

class cDnsResult : public typelib::IHostResolved {
 public:
  cDnsResult();
  ~cDnsResult() override;
  cDnsResult(const cDnsResult&) = delete;
  cDnsResult& operator=(const cDnsResult&) = delete;

  bool isResolved() const { return is_resolved_; }
  const std::string& hostname() const { return hostname_; }
  const std::string& ipaddress() const { return ipaddress_; }

  platform::Variant HostResolved(const std::string& hostname, const std::string& ipaddress) override;

  // Waits, pumping in 10 ms slices, until HostResolved or Abandon, or until
  // the wait limit passed: a lookup that is never reported cannot hold its
  // thread for good. Then nothing is resolved.
  void Wait();
  // Waits at least `lookup_takes` and a little more: the socket component's
  // own longest lookup, so a slow answer is not given up on while it may
  // still come.
  void WaitAtLeast(std::chrono::milliseconds lookup_takes);

  // The longest a Wait lasts (one minute unless changed); returns the limit
  // it replaces.
  static std::chrono::milliseconds SetWaitLimit(std::chrono::milliseconds limit);

  // The lookup was cancelled and will never be answered: ends the wait with
  // nothing resolved.
  void Abandon();

 protected:
  // isResolved, hostname, ipaddress, Wait, and HostResolved.
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  std::string hostname_;
  std::string ipaddress_;
  bool is_resolved_ = false;
  platform::win32::EventHandle event_;
};

}  // namespace dns
