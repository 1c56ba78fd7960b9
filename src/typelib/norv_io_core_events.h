// INorvIoCoreEvents: the events interface a feature plug-in implements to
// hear of the service's lifecycle (start, stop, user switch, settings and
// device changes) and to answer status queries.
//
// Every operation has a body that does nothing, so the interface is also the
// library's own do-nothing class: a plug-in overrides only the events it
// cares about. GetStatus yields false unless overridden.
//
//   class Counter : public typelib::INorvIoCoreEvents {
//    public:
//     void OnStartup(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
//                    ObjectPtr& PlugInData) override { ... }
//   };
//
// All arguments are by reference: what the plug-in leaves in PlugInData is
// kept and handed back with the next event. Settings and UserSettings are
// cSettings objects (the system and the current user's collection),
// IoNotifyObject the shared cIoNotify; any may be Nothing.
//
// Late-bound callers reach the operations by the same names.
#pragma once

#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/variant.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"

namespace typelib {

inline constexpr char kINorvIoCoreEventsInterfaceId[] = "{E5784018-96B3-4F43-B9A9-3366E83E6E2F}";
inline constexpr char kNorvIoCoreEventsClassId[] = "{B2D454D7-D7AC-4F9E-BB16-19E85E2EE4EE}";

class INorvIoCoreEvents : public virtual platform::com::Object {
 public:
  using ObjectPtr = platform::com::ObjectPtr;

  virtual void OnGuiShutdown(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                             ObjectPtr& PlugInData) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData;
  }
  virtual void OnStartup(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                         ObjectPtr& PlugInData) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData;
  }
  virtual void OnShutdown(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                          ObjectPtr& PlugInData) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData;
  }
  virtual void OnUserSwitch(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                            ObjectPtr& PlugInData) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData;
  }
  virtual void OnSettingsChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                                ObjectPtr& PlugInData, bool& fUserSettingsAlsoChanged) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData, (void)fUserSettingsAlsoChanged;
  }
  virtual void OnUserSettingsChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                                    ObjectPtr& PlugInData) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData;
  }
  virtual void OnDeviceChange(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
                              ObjectPtr& PlugInData) {
    (void)Settings, (void)UserSettings, (void)IoNotifyObject, (void)PlugInData;
  }
  virtual bool GetStatus(ObjectPtr& PlugInData, std::string& SubStatus) {
    (void)PlugInData, (void)SubStatus;
    return false;
  }

  std::string TypeName() const override { return "INorvIoCoreEvents"; }

  // The interface's members, for implementing classes to list as a base.
  static const platform::com::DispatchTable& InterfaceTable() {
    using platform::com::ArgRange;
    using platform::com::Args;
    using Self = INorvIoCoreEvents;
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Self>({
        {"OnGuiShutdown", 4, [](Self& self, Args args) { Forward(args, [&](auto&... a) { self.OnGuiShutdown(a...); }); }},
        {"OnStartup", 4, [](Self& self, Args args) { Forward(args, [&](auto&... a) { self.OnStartup(a...); }); }},
        {"OnShutdown", 4, [](Self& self, Args args) { Forward(args, [&](auto&... a) { self.OnShutdown(a...); }); }},
        {"OnUserSwitch", 4, [](Self& self, Args args) { Forward(args, [&](auto&... a) { self.OnUserSwitch(a...); }); }},
        {"OnSettingsChange", 5,
         [](Self& self, Args args) {
           bool also = platform::CBool(args[4]);
           Forward(args, [&](auto&... a) { self.OnSettingsChange(a..., also); });
           args[4] = platform::Variant(also);
         }},
        {"OnUserSettingsChange", 4,
         [](Self& self, Args args) { Forward(args, [&](auto&... a) { self.OnUserSettingsChange(a...); }); }},
        {"OnDeviceChange", 4,
         [](Self& self, Args args) { Forward(args, [&](auto&... a) { self.OnDeviceChange(a...); }); }},
        {"GetStatus", ArgRange{1, 2},
         [](Self& self, Args args) {
           ObjectPtr data = ObjectArg(args[0]);
           std::string sub = platform::com::HasArg(args, 1) ? platform::CStr(args[1]) : std::string();
           bool status = self.GetStatus(data, sub);
           args[0] = platform::Variant(data);
           if (platform::com::HasArg(args, 1)) args[1] = platform::Variant(sub);
           return status;
         }},
    });
    return table;
  }

 protected:
  const platform::com::DispatchTable* Dispatch() const override { return &InterfaceTable(); }

 private:
  // An object argument of a late-bound call: Nothing for anything that is
  // not an object (Empty, a missing argument).
  static ObjectPtr ObjectArg(const platform::Variant& value) {
    return value.IsObject() ? value.ObjectValue() : ObjectPtr();
  }
  // Calls `call` with the four object arguments by reference and writes
  // what it left in them back into the late-bound arguments.
  template <class F>
  static void Forward(platform::com::Args args, F&& call) {
    ObjectPtr a0 = ObjectArg(args[0]), a1 = ObjectArg(args[1]), a2 = ObjectArg(args[2]), a3 = ObjectArg(args[3]);
    call(a0, a1, a2, a3);
    args[0] = platform::Variant(a0);
    args[1] = platform::Variant(a1);
    args[2] = platform::Variant(a2);
    args[3] = platform::Variant(a3);
  }
};

}  // namespace typelib
