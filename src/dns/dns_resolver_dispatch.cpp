// cDnsResolver's members as late-bound callers reach them.
#include "dns/dns_resolver.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"

namespace dns {
namespace {

using platform::CStr;
using platform::Variant;
using platform::com::ArgRange;
using platform::com::Args;
using platform::com::HasArg;

// A text argument; what cannot be text (Null, an object without a value)
// counts as empty text rather than failing the call.
std::string TextArg(Args args, size_t i) {
  std::string text;
  platform::Quietly([&] { text = CStr(args[i]); });
  return text;
}

// The optional notify argument: an object, or nothing for anything else.
Listener ListenerArg(Args args, size_t i) {
  if (!HasArg(args, i) || !args[i].IsObject()) return nullptr;
  return args[i].ObjectValue();
}

}  // namespace

const platform::com::DispatchTable* cDnsResolver::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<cDnsResolver>({
      {"BeforeTerminate", [](cDnsResolver& self) { self.BeforeTerminate(); }},
      {"Refresh", ArgRange{1, 2},
       [](cDnsResolver& self, Args args) { self.Refresh(TextArg(args, 0), ListenerArg(args, 1)); }},
      {"GetHostname", 1, [](cDnsResolver& self, Args args) { return self.GetHostname(TextArg(args, 0)); }},
      {"GetAddress", 1, [](cDnsResolver& self, Args args) { return self.GetAddress(TextArg(args, 0)); }},
      {"ResolveAddress", ArgRange{2, 3},
       [](cDnsResolver& self, Args args) {
         std::string hostname;
         bool answered = self.ResolveAddress(TextArg(args, 0), hostname, ListenerArg(args, 2));
         args[1] = Variant(hostname);
         return answered;
       }},
      {"ResolveHostname", ArgRange{2, 3},
       [](cDnsResolver& self, Args args) {
         std::string ipaddress;
         bool answered = self.ResolveHostname(TextArg(args, 0), ipaddress, ListenerArg(args, 2));
         args[1] = Variant(ipaddress);
         return answered;
       }},
  });
  return &table;
}

}  // namespace dns
