// "settings": writes each "setting" child to the system collection (an id
// beginning "global.") or to the current user's, then asks the Application
// object once to store the change and tell everyone, unless every setting
// was marked silent.
//
// A message may carry hundreds of settings: the children are read in one
// pass over the document (no handle per child), each collection is looked up
// once, and trace texts are built only when tracing is on.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "plugins/ionotify/actions.h"
#include "settings/collection/storable_setting.h"
#include "settings/shared/shared_settings.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {
namespace {

constexpr std::string_view kGlobalPrefix = "global.";

struct SettingWrite {
  bool global = false;
  std::string name;
  std::string value;
};

// The collection, looked up on first use; raises 424 while there is none, so
// each setting written to a missing collection fails alone, as before.
class Collection {
 public:
  explicit Collection(settings::SettingsPtr (*lookup)()) : lookup_(lookup) {}
  settings::cSettings& Get() {
    if (collection_ == nullptr) collection_ = lookup_();
    if (collection_ == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "DoXMLAction");
    return *collection_;
  }

 private:
  settings::SettingsPtr (*lookup_)();
  settings::SettingsPtr collection_;
};

// One write; a setting the collection refuses (a name or value no store could
// hold) is logged with the reason and stops nothing else.
void Write(Collection& collection, const std::string& shown_name, const std::string& name, std::string value) {
  try {
    collection.Get().SetValue(name, platform::Variant(std::move(value)));
  } catch (const platform::BasicError& error) {
    if (error.number() == settings::kErrUnstorableSetting) {
      service::WriteSystemLog("DoXMLAction - setting '" + shown_name + "' refused: " + error.description());
    }
  } catch (...) {
  }
  platform::Err::Clear();
}

}  // namespace

void SettingsAction(cIoNotify& io, const Node& action) {
  std::vector<SettingWrite> writes;
  bool notify = false;
  action.ForEachChildElement([&](const platform::xml::ElementView& setting) {
    if (setting.Name() != "setting") return;
    if (setting.GetAttribute("silent") != "true") notify = true;
    std::string_view id = setting.GetAttribute("id");
    if (id.empty()) return;
    SettingWrite write;
    write.global = id.substr(0, kGlobalPrefix.size()) == kGlobalPrefix;
    write.name = write.global ? platform::Trim(id.substr(kGlobalPrefix.size())) : std::string(id);
    write.value = setting.Text();
    writes.push_back(std::move(write));
  });

  Collection system(&settings::GetSystemSettings);
  Collection user(&settings::GetUserSettings);
  for (SettingWrite& write : writes) {
    if (write.global) {
      if (io.Tracing()) io.Trace("setting global setting '" + write.name + "' to value '" + write.value + "'");
      Write(system, "global." + write.name, write.name, std::move(write.value));
    } else {
      Write(user, write.name, write.name, write.value);
      if (io.Tracing()) io.Trace("setting user setting '" + write.name + "' to value '" + write.value + "'");
    }
  }
  if (!writes.empty() && notify) {
    io.Trace("triggering settingschanged event");
    std::vector<platform::Variant> args{platform::Variant(true)};
    platform::com::CallByName(service::GetApplicationObject(), "SettingsChanged", args);
  }
}

}  // namespace plugins::ionotify
