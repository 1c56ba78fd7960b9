#include "plugins/host/c_plugin_host.h"

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "plugins/host/plugin_call_watch.h"

namespace plugins {

using platform::Variant;
using platform::com::Args;
using platform::com::ArgRange;
using platform::com::HasArg;

cPluginHost::cPluginHost() = default;

cPluginHost::~cPluginHost() {
  if (m_HostNotifier && host_cookie_ != 0) m_HostNotifier->Events()->Unadvise(host_cookie_);
}

void cPluginHost::SendToPlugin(std::string Name, Variant& Param1, Variant& Param2) {
  if (!PluginNotifier) platform::RaiseError(platform::kErrObjectNotSet, {}, "cPluginHost");
  // Held for the call: the plug-in may drop its own channel meanwhile.
  std::shared_ptr<contracts::cNotifier> channel = PluginNotifier;
  channel->Notify(Name, Param1, Param2);
}

void cPluginHost::DoNotify(std::string& Name, Variant& Param1, Variant& Param2) {
  if (!PluginNotifier) platform::RaiseError(platform::kErrObjectNotSet, {}, "cPluginHost");
  std::shared_ptr<contracts::cNotifier> channel = PluginNotifier;
  PluginCallWatch watch("cPluginHost", progid_, "DoNotify " + Name);
  channel->Notify(Name, Param1, Param2);
}

namespace {

platform::com::ObjectPtr ObjectArg(const Variant& value) {
  return value.IsObject() ? value.ObjectValue() : platform::com::ObjectPtr();
}

// A host event called late-bound: the four object arguments by reference.
template <class F>
void ForwardArgs(Args args, F&& call) {
  platform::com::ObjectPtr a0 = ObjectArg(args[0]), a1 = ObjectArg(args[1]), a2 = ObjectArg(args[2]),
                           a3 = ObjectArg(args[3]);
  call(a0, a1, a2, a3);
  args[0] = Variant(a0);
  args[1] = Variant(a1);
  args[2] = Variant(a2);
  args[3] = Variant(a3);
}

}  // namespace

const platform::com::DispatchTable* cPluginHost::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<cPluginHost>(
      {
          {"ProgID", [](cPluginHost& self) { return self.ProgID(); }},
          {"PlugInData", [](cPluginHost& self) { return Variant(self.PlugInData()); }},
          {"CreatePlugin", 2,
           [](cPluginHost& self, Args args) {
             return self.CreatePlugin(platform::CStr(args[0]), platform::CStr(args[1]));
           }},
          {"OnUserLogoff", 4,
           [](cPluginHost& self, Args args) {
             ForwardArgs(args, [&](auto&... a) { self.OnUserLogoff(a...); });
           }},
          {"DoNotify", 3,
           [](cPluginHost& self, Args args) {
             std::string name = platform::CStr(args[0]);
             self.DoNotify(name, args[1], args[2]);
             args[0] = Variant(name);
           }},
      },
      {&INorvIoCoreEvents::InterfaceTable()});
  return &table;
}

}  // namespace plugins
