#include "dns/dns_result.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/apartment/apartment.h"

namespace dns {

using platform::win32::kWaitObject0;

namespace {

constexpr std::chrono::milliseconds kWaitSlice{10};

// A bound for lookups that are never reported; a component that says how
// long its lookups may take (LongestLookup) raises it for its own.
std::atomic<std::chrono::milliseconds::rep> wait_limit_ms{60000};
// Time for a report to travel from the component to the waiting thread.
constexpr std::chrono::milliseconds kLookupMargin{5000};

}  // namespace

cDnsResult::cDnsResult() : event_(platform::win32::CreateEventA(nullptr, true, false, nullptr)) {}

cDnsResult::~cDnsResult() { platform::win32::CloseHandle(event_); }

platform::Variant cDnsResult::HostResolved(const std::string& hostname, const std::string& ipaddress) {
  hostname_ = hostname;
  ipaddress_ = ipaddress;
  is_resolved_ = true;
  platform::win32::SetEvent(event_);
  return {};
}

void cDnsResult::Abandon() { platform::win32::SetEvent(event_); }

const platform::com::DispatchTable* cDnsResult::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<cDnsResult>(
      {
          {"isResolved", [](cDnsResult& self) { return self.isResolved(); }},
          {"hostname", [](cDnsResult& self) { return self.hostname(); }},
          {"ipaddress", [](cDnsResult& self) { return self.ipaddress(); }},
          {"Wait", [](cDnsResult& self) { self.Wait(); }},
      },
      {&InterfaceTable()});
  return &table;
}

void cDnsResult::Wait() { WaitAtLeast(std::chrono::milliseconds(0)); }

void cDnsResult::WaitAtLeast(std::chrono::milliseconds lookup_takes) {
  std::chrono::milliseconds limit(wait_limit_ms.load());
  if (lookup_takes.count() > 0) limit = std::max(limit, lookup_takes + kLookupMargin);
  platform::Apartment::Current()->WaitPumping(
      [this] { return platform::win32::WaitForSingleObject(event_, 0) == kWaitObject0; }, limit, kWaitSlice);
}

std::chrono::milliseconds cDnsResult::SetWaitLimit(std::chrono::milliseconds limit) {
  return std::chrono::milliseconds(wait_limit_ms.exchange(limit.count()));
}

}  // namespace dns
