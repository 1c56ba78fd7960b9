#include "dns/dns_result.h"

#include <chrono>

#include "platform/apartment/apartment.h"

namespace dns {

using platform::win32::kWaitObject0;

constexpr std::chrono::milliseconds kWaitSlice{10};

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
      platform::Apartment::kInfinite, kWaitSlice);
}

}  // namespace dns
