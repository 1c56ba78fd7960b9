#include "plugin_fixture.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "contracts/notifier.h"
#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/com/class_registry.h"
#include "typelib/norv_io_core_events.h"

namespace plugin_testing {

std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

std::function<void(EventContext&)>& OnPluginEvent() {
  static std::function<void(EventContext&)> hook;
  return hook;
}

namespace {

void Heard(const std::string& progid, const std::string& event, ObjectPtr* settings, ObjectPtr* data,
           ObjectPtr* io_notify = nullptr) {
  Journal().push_back(progid + ":" + event);
  EventContext context{progid, event, settings, data, io_notify};
  if (OnPluginEvent()) OnPluginEvent()(context);
}

class RecordingEvents : public typelib::INorvIoCoreEvents {
 public:
  explicit RecordingEvents(std::string progid) : progid_(std::move(progid)) {}
  void OnGuiShutdown(ObjectPtr& s, ObjectPtr&, ObjectPtr&, ObjectPtr& d) override { Heard(progid_, "OnGuiShutdown", &s, &d); }
  void OnStartup(ObjectPtr& s, ObjectPtr&, ObjectPtr& io, ObjectPtr& d) override {
    Heard(progid_, "OnStartup", &s, &d, &io);
  }
  void OnShutdown(ObjectPtr& s, ObjectPtr&, ObjectPtr&, ObjectPtr& d) override { Heard(progid_, "OnShutdown", &s, &d); }
  void OnUserSwitch(ObjectPtr& s, ObjectPtr&, ObjectPtr&, ObjectPtr& d) override { Heard(progid_, "OnUserSwitch", &s, &d); }
  void OnSettingsChange(ObjectPtr& s, ObjectPtr&, ObjectPtr&, ObjectPtr& d, bool& also) override {
    Heard(progid_, std::string("OnSettingsChange(") + (also ? "True" : "False") + ")", &s, &d);
  }
  void OnUserSettingsChange(ObjectPtr& s, ObjectPtr&, ObjectPtr&, ObjectPtr& d) override {
    Heard(progid_, "OnUserSettingsChange", &s, &d);
  }
  void OnDeviceChange(ObjectPtr& s, ObjectPtr&, ObjectPtr&, ObjectPtr& d) override { Heard(progid_, "OnDeviceChange", &s, &d); }
  bool GetStatus(ObjectPtr& d, std::string& sub) override {
    Heard(progid_, "GetStatus(" + sub + ")", nullptr, &d);
    sub = "changed by the plug-in";
    return d != nullptr;
  }

 private:
  std::string progid_;
};

class RecordingNotifier : public contracts::INotifierHost {
 public:
  explicit RecordingNotifier(std::string progid) : progid_(std::move(progid)) {}
  std::shared_ptr<contracts::cNotifier> AttachHost(std::shared_ptr<contracts::cNotifier>& host) override {
    host_ = host;
    own_ = contracts::NewNotifier();
    own_->OnNotify([this](std::string& name, Variant& p1, Variant& p2) {
      ObjectPtr data = p1.IsObject() ? p1.ObjectValue() : nullptr;
      Heard(progid_, name, nullptr, &data);
      if (name.starts_with("GetStatus.")) p2 = Variant(data != nullptr);
      if (data != (p1.IsObject() ? p1.ObjectValue() : nullptr)) p1 = Variant(data);
    });
    return own_;
  }

 private:
  std::string progid_;
  std::shared_ptr<contracts::cNotifier> host_;
  std::shared_ptr<contracts::cNotifier> own_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

void RegisterEventsPlugin(const std::string& progid) {
  if (platform::com::IsClassRegistered(progid)) return;
  platform::com::RegisterClass(progid, [progid] { return ObjectPtr(std::make_shared<RecordingEvents>(progid)); });
}

void RegisterNotifierPlugin(const std::string& progid) {
  if (platform::com::IsClassRegistered(progid)) return;
  platform::com::RegisterClass(progid, [progid] { return ObjectPtr(std::make_shared<RecordingNotifier>(progid)); });
}

std::string Entry(const std::string& progid, const std::string& rank) {
  return "<plugin rank=\"" + rank + "\"><progid>" + progid + "</progid></plugin>";
}

PluginTest::PluginTest() {
  Journal().clear();
  OnPluginEvent() = nullptr;
}

PluginTest::~PluginTest() {
  OnPluginEvent() = nullptr;
  Journal().clear();
}

void PluginTest::SetPluginList(const std::string& entries, bool present) {
  std::string shipped = ReadFile(std::string(HEARTH_SOURCE_TREE) + "/config/branding.xml");
  const std::string empty_list = "<system></system>";
  shipped.replace(shipped.find(empty_list), empty_list.size(), present ? "<system>" + entries + "</system>" : "");
  std::filesystem::create_directories(root_ / "config");
  testing_support::WriteFileBytes(root_ / "config" / "branding.xml", shipped);
  contracts::Support().Branding()->Reset();
}

void PluginTest::Mark() { mark_ = init_testing::SystemLogMessages().size(); }

std::vector<std::string> PluginTest::MessagesSinceMark() const {
  std::vector<std::string> all = init_testing::SystemLogMessages();
  return mark_ < all.size() ? std::vector<std::string>(all.begin() + mark_, all.end()) : std::vector<std::string>{};
}

std::vector<std::string> PluginTest::PluginLinesSinceMark() const {
  std::vector<std::string> lines;
  for (const std::string& line : MessagesSinceMark()) {
    if (line.find("Plugin") != std::string::npos || line.find("plugin") != std::string::npos ||
        line.find("Sending") != std::string::npos || line.find("Sent ") != std::string::npos ||
        line.starts_with("Error after")) {
      lines.push_back(line);
    }
  }
  return lines;
}

}  // namespace plugin_testing
