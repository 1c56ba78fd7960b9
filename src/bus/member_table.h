// What each public class offers on the bus: its methods with their D-Bus
// signatures and argument names, and its events as signals. A method is, by
// default, the late-bound member of the same name called with the in
// arguments in order; its answers are the call's result and the by-reference
// arguments the member writes (`outputs`).
//
//   {.name = "GetValue", .in = "s", .in_names = {"Setting"}, .out = "v", .out_names = {"value"}}
//   {.name = "DoSync", .in = "s", ..., .out = "vs", .outputs = {kResult, 0}, .access = Access::kAct}
#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/basic/variant.h"

namespace bus {

class CallContext;

enum class Access {
  kRead,  // the bus policy alone decides
  kAct,   // writes settings, runs an action, touches the registry or checks
          // credentials: the caller is checked by the service too
};

// Where an answer comes from: the call's result, or argument i.
inline constexpr int kResult = -1;

struct Member {
  std::string name;
  std::string in;                      // D-Bus signature of the arguments
  std::vector<std::string> in_names;
  std::string out;                     // D-Bus signature of the answers
  std::vector<std::string> out_names;
  Access access = Access::kRead;
  std::vector<int> outputs;            // one per answer; empty: {kResult}
  std::string late_bound;              // the member called, when not `name`
  bool put = false;                    // a property assignment of args[0]
  // Arguments the bus does not carry, added after the in arguments (an
  // out-only text, a listener object).
  std::function<std::vector<platform::Variant>(CallContext& context)> extra;
  int extra_at = -1;                   // where they go among the arguments; -1: last
  // Refuses arguments the member must not pass on (raises CallError), run
  // once they are read.
  std::function<void(CallContext& context, const std::vector<platform::Variant>& args)> check;
  // A member that cannot be a plain late-bound call: answers the message
  // itself (returns what an sd-bus handler returns).
  std::function<int(CallContext& context, sd_bus_message* message)> custom;
};

struct Signal {
  std::string name;  // the event's name
  std::string signature;
  std::vector<std::string> names;
};

struct BusInterface {
  std::string name;
  std::vector<Member> members;
  std::vector<Signal> signals;

  const Member* FindMember(const std::string& member) const;
  // By the event's name, without regard to letter case.
  const Signal* FindSignal(std::string_view event) const;
};

// The interfaces of the public classes.
const BusInterface& ApplicationInterface();
const BusInterface& SettingsInterface();
const BusInterface& DnsResolverInterface();
const BusInterface& IoNotifyInterface();

}  // namespace bus
