// "settings": writes each "setting" child to the system collection (an id
// beginning "global.") or to the current user's, then asks the Application
// object once to store the change and tell everyone, unless every setting
// was marked silent.
#include <string>
#include <vector>

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "plugins/ionotify/actions.h"
#include "service/lifecycle/state/lifecycle_state.h"
#include "settings/shared/shared_settings.h"

namespace plugins::ionotify {
namespace {

constexpr std::string_view kGlobalPrefix = "global.";

settings::SettingsPtr Required(settings::SettingsPtr collection) {
  if (collection == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "DoXMLAction");
  return collection;
}

}  // namespace

void SettingsAction(cIoNotify& io, const Node& action) {
  bool written = false;
  bool notify = false;
  for (Node setting = action.FirstChild(); setting; setting = setting.NextSibling()) {
    if (setting.Type() != platform::xml::NodeType::kElement || setting.NodeName() != "setting") continue;
    std::string name = setting.GetAttribute("id");
    const std::string value = setting.Text();
    if (setting.GetAttribute("silent") != "true") notify = true;
    if (name.empty()) continue;
    if (name.rfind(kGlobalPrefix, 0) == 0) {
      name = platform::Trim(std::string_view(name).substr(kGlobalPrefix.size()));
      io.Trace("setting global setting '" + name + "' to value '" + value + "'");
      platform::Quietly([&] { Required(settings::GetSystemSettings())->SetValue(name, platform::Variant(value)); });
    } else {
      platform::Quietly([&] { Required(settings::GetUserSettings())->SetValue(name, platform::Variant(value)); });
      io.Trace("setting user setting '" + name + "' to value '" + value + "'");
    }
    written = true;
  }
  if (written && notify) {
    io.Trace("triggering settingschanged event");
    std::vector<platform::Variant> args{platform::Variant(true)};
    platform::com::CallByName(service::GetApplicationObject(), "SettingsChanged", args);
  }
}

}  // namespace plugins::ionotify
