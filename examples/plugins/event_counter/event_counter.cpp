// Sample events plug-in ("Sample.EventCounter"): counts the events it hears
// in its plug-in data, answers the status query from that count, and asks
// the service to store and announce the settings when the system setting
// "sample.requestsettingschange" is True at a user switch.
#include <cstdint>
#include <memory>
#include <string>

#include "hearth/plugin.h"

namespace {

using hearth::ObjectPtr;
using hearth::Variant;

// The plug-in's data: the service keeps it between events and hands it back.
// Late-bound readers see its "Count" and "LastEvent".
class EventCount : public platform::com::Object {
 public:
  int32_t count = 0;
  std::string last_event;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<EventCount>({
        {"Count", [](EventCount& self) { return self.count; }},
        {"LastEvent", [](EventCount& self) { return self.last_event; }},
    });
    return &table;
  }
};

class EventCounter : public hearth::EventsPlugin {
 public:
  void OnStartup(ObjectPtr&, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData) override { Count(PlugInData, "OnStartup"); }
  void OnShutdown(ObjectPtr&, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData) override {
    Count(PlugInData, "OnShutdown");
  }
  void OnUserSwitch(ObjectPtr& Settings, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData) override {
    Count(PlugInData, "OnUserSwitch");
    hearth::Settings system(Settings);
    if (system && system.GetValueB("sample.requestsettingschange")) {
      system.RemoveValue("sample.requestsettingschange");
      system.SetValue("tmp.SettingsChanged", Variant(true));
    }
  }
  void OnSettingsChange(ObjectPtr&, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData, bool&) override {
    Count(PlugInData, "OnSettingsChange");
  }
  void OnUserSettingsChange(ObjectPtr&, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData) override {
    Count(PlugInData, "OnUserSettingsChange");
  }
  void OnGuiShutdown(ObjectPtr&, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData) override {
    Count(PlugInData, "OnGuiShutdown");
  }
  void OnDeviceChange(ObjectPtr&, ObjectPtr&, ObjectPtr&, ObjectPtr& PlugInData) override {
    Count(PlugInData, "OnDeviceChange");
  }

  // True once any event arrived; the sub-status "startup" asks whether the
  // start-up itself was heard.
  bool GetStatus(ObjectPtr& PlugInData, std::string& SubStatus) override {
    auto data = platform::com::QueryInterface<EventCount>(PlugInData);
    if (!data) return false;
    if (SubStatus == "startup") return data->count > 0;
    return data->count > 0;
  }

 private:
  static void Count(ObjectPtr& PlugInData, const char* event) {
    auto data = platform::com::QueryInterface<EventCount>(PlugInData);
    if (!data) {
      data = std::make_shared<EventCount>();
      PlugInData = data;
    }
    ++data->count;
    data->last_event = event;
  }
};

}  // namespace

HEARTH_PLUGIN(EventCounter, "Sample.EventCounter")
