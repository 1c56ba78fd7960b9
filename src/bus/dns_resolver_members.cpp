// The name resolver (cDnsResolver) on the bus. A listener cannot cross the
// bus: the answers of ResolveHostname, ResolveAddress and Refresh come as the
// HostResolved signal, and GetHostname and GetAddress answer when the lookup
// does (the bus thread is not held while they wait).
#include "bus/bus_names.h"
#include "bus/call_context.h"
#include "bus/member_table.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {
namespace {

std::vector<platform::Variant> OutTextAndSignal(CallContext& context) {
  return {platform::Variant(""), platform::Variant(context.SignalListener())};
}

std::vector<platform::Variant> SignalOnly(CallContext& context) {
  return {platform::Variant(context.SignalListener())};
}

}  // namespace

int AnswerWhenResolved(CallContext& context, sd_bus_message* message, bool want_address);

const BusInterface& DnsResolverInterface() {
  static const BusInterface table{
      kDnsResolverInterface,
      {
          {.name = "BeforeTerminate", .access = Access::kAct},
          {.name = "Refresh", .in = "s", .in_names = {"hostname"}, .extra = SignalOnly},
          {.name = "GetHostname", .in = "s", .in_names = {"ipaddress"}, .out = "s", .out_names = {"hostname"},
           .custom = [](CallContext& c, sd_bus_message* m) { return AnswerWhenResolved(c, m, false); }},
          {.name = "GetAddress", .in = "s", .in_names = {"hostname"}, .out = "s", .out_names = {"ipaddress"},
           .custom = [](CallContext& c, sd_bus_message* m) { return AnswerWhenResolved(c, m, true); }},
          {.name = "ResolveAddress", .in = "s", .in_names = {"ipaddress"}, .out = "bs",
           .out_names = {"answered", "hostname"}, .outputs = {kResult, 1}, .extra = OutTextAndSignal},
          {.name = "ResolveHostname", .in = "s", .in_names = {"hostname"}, .out = "bs",
           .out_names = {"answered", "ipaddress"}, .outputs = {kResult, 1}, .extra = OutTextAndSignal},
      },
      {
          {"HostResolved", "ss", {"hostname", "ipaddress"}},
      },
  };
  return table;
}

}  // namespace bus
