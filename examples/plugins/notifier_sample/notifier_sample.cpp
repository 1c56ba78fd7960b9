// Sample notifier plug-in ("Sample.Notifier"): talks to the service through
// messages only. At creation it hands over a branding document (a string
// path and a node-list path) and a settings request (one setting and a
// "stem-" wildcard) and keeps the answers. On each event it reads and writes
// settings, marks the shared XML data and sends an XML action.
#include <cstdint>
#include <memory>
#include <string>

#include "hearth/plugin.h"
#include "platform/basic/conversions.h"

namespace {

using hearth::Variant;

class NotifierSample : public hearth::NotifierPlugin {
 protected:
  void OnMessage(std::string& name, Variant& param1, Variant& param2) override {
    if (name == "GetBranding") {
      param2 = Variant(platform::dom::NewXmlElement(
          "<branding><product>{%strings%}/qorhearth</product><features>/features/*</features></branding>"));
    } else if (name == "SetBranding") {
      branding_ = platform::dom::NodeOf(param1);
    } else if (name == "GetSettings") {
      param2 = Variant(platform::dom::NewXmlElement("<request><sys.apppath/><global.sys.-/></request>"));
    } else if (name == "SetSettings") {
      settings_answer_ = platform::dom::NodeOf(param1);
    } else if (name.starts_with("GetStatus.")) {
      param2 = Variant(events_ > 0);
    } else {
      OnEvent(name);
    }
  }

 private:
  void OnEvent(const std::string& event) {
    ++events_;
    // The system's application folder and the user's own counter.
    app_path_ = platform::CStr(Request("GetSetting", Variant("global.sys.AppPath")));
    Request("SetSetting", Variant("sample.notifier.events"), Variant(static_cast<int32_t>(events_)));
    Request("SetSetting", Variant("global.sample.notifier.lastevent"), Variant(event));
    // The shared data every plug-in sees: say that this one is alive.
    Variant shared = Request("GetSharedData");
    if (platform::xml::Node node = platform::dom::NodeOf(shared)) node.SetAttribute("samplenotifier", event);
    // A silent settings action: written without another round of
    // notifications.
    Request("DoXMLAction", Variant("<actions><action type=\"settings\"><setting id=\"sample.notifier.action\" "
                                   "silent=\"true\">" + event + "</setting></action></actions>"));
  }

  int events_ = 0;
  std::string app_path_;
  platform::xml::Node branding_;
  platform::xml::Node settings_answer_;
};

}  // namespace

HEARTH_PLUGIN(NotifierSample, "Sample.Notifier")
