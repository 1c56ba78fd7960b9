#include "dns/dns_result.h"

#include <atomic>
#include <chrono>

#include "platform/apartment/apartment.h"

namespace dns {

using platform::win32::kWaitObject0;

namespace {

constexpr std::chrono::milliseconds kWaitSlice{10};

// Longer than the socket component takes to give up on a lookup with the
// configured tries and timeouts.
std::atomic<std::chrono::milliseconds::rep> wait_limit_ms{60000};

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

void cDnsResult::Wait() {
  platform::Apartment::Current()->WaitPumping(
      [this] { return platform::win32::WaitForSingleObject(event_, 0) == kWaitObject0; },
      std::chrono::milliseconds(wait_limit_ms.load()), kWaitSlice);
}

std::chrono::milliseconds cDnsResult::SetWaitLimit(std::chrono::milliseconds limit) {
  return std::chrono::milliseconds(wait_limit_ms.exchange(limit.count()));
}

}  // namespace dns
