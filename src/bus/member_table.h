// What each public class offers on the bus: its methods with their D-Bus
// signatures and argument names, and its events as signals. A method is, by
// default, the late-bound member of the same name called with the in
// arguments in order; its answers are the call's result and the by-reference
// arguments the member writes (`outputs`).
//
//   {.name = "GetValue", .in = "s", .in_names = {"Setting"}, .out = "v", .out_names = {"value"}}
//   {.name = "DoSync", .in = "s", ..., .out = "vs", .outputs = {kResult, 0}, .access = Access::kAct}
//
// Each member says who may call it (`access`, see Access); AccessTable()
// lists them all, as docs/design/dbus.md does.
#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/basic/variant.h"

namespace bus {

class CallContext;

// Who may call a member: three levels, each a superset of the next. The bus
// policy lets only root and the group "hearth" call anything; the service
// checks kAct and kRoot itself (caller_access.h), so a mistaken policy file
// opens neither.
enum class Access {
  kRead,  // root and group hearth, as the bus policy says: reads
  kAct,   // root and group hearth, checked by the service too: writes
          // settings, posts and changes alerts, runs actions, touches the
          // registry
  kRoot,  // root only: starts programs ("runprogram", "launchprocess") or
          // checks passwords
};

// The level a call needs once its arguments are read, and why, when the
// arguments raise it above the member's own (an action message that starts
// a program).
struct AccessNeed {
  Access level = Access::kRead;
  std::string why;  // for the refusal: "the message starts a program"
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
  std::string access_why;              // why kRoot, for the refusal ("it checks passwords")
  // Raises the level by the arguments (run once they are read).
  std::function<AccessNeed(const std::vector<platform::Variant>& args)> access_by_args;
  bool sensitive = false;              // an argument is a secret (SD_BUS_VTABLE_SENSITIVE)
  bool throttled = false;              // a false result is a failed check: the caller's
                                       // next one waits (failure_throttle.h)
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
  // A result that means the call failed (the member contains its errors and
  // answers, say, -1 with the reason among its outputs): the reason, which
  // the caller then gets as com.norvale.Hearth.Error.Failed instead of an
  // answer that looks like one. Run with the outputs in `args`.
  std::function<std::optional<std::string>(const platform::Variant& result, const std::vector<platform::Variant>& args)>
      failure;
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
// Store files for administrators: backup of a folder, listing, playback.
const BusInterface& FileManagerInterface();

// Every interface above, for code that walks them all (the access table).
std::vector<const BusInterface*> AllInterfaces();

// "read", "act" or "root".
const char* AccessLevelName(Access level);

// One row of the access table: a member and the level it needs before its
// arguments are read (`raised_by_args`: some arguments need root).
struct MemberAccess {
  std::string interface_name;
  std::string member;
  Access level = Access::kRead;
  bool raised_by_args = false;
  std::string why;
};
std::vector<MemberAccess> AccessTable();
// The row of one member; nullopt when the interface has no such member.
std::optional<MemberAccess> AccessOf(const std::string& interface_name, const std::string& member);

}  // namespace bus
