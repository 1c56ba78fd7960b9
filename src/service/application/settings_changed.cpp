#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "service/application/application.h"
#include "service/application/required_collection.h"
#include "service/features/features.h"
#include "settings/folders/fill_placeholders.h"
#include "systemlog/system_log.h"
#include "systemlog/time_stamped.h"

namespace service {
namespace {

using detail::Required;

const char* TrueFalse(bool value) { return value ? "True" : "False"; }

// Removes the feature letter in either letter case: the feature sets match
// letters without regard to case, so a lower-case letter left behind would
// keep the feature enabled.
bool RemoveFeatureLetter(std::string& selected, char upper) {
  const char lower = static_cast<char>(upper - 'A' + 'a');
  if (selected.find(upper) == std::string::npos && selected.find(lower) == std::string::npos) return false;
  std::string kept;
  for (char letter : selected) {
    if (letter != upper && letter != lower) kept += letter;
  }
  selected = kept;
  return true;
}

// Conflicting anti-virus or firewall products switch the suite's own
// feature off in "features.selected".
void DisableConflictingFeatures(settings::cSettings& system) {
  const contracts::ConflictingProducts conflicts = contracts::Support().Conflicts()->GetConflictingProducts();
  if (conflicts.anti_virus.empty() && conflicts.firewall.empty()) return;
  std::string selected = platform::CStr(system.GetValue(kFeaturesSelected));
  if (!conflicts.anti_virus.empty() && RemoveFeatureLetter(selected, 'A')) {
    WriteSystemLog(
        TimeStamped(": SettingsChanged - Conflict found(" + conflicts.anti_virus + "), disabling Anti-Virus"));
  }
  if (!conflicts.firewall.empty() && RemoveFeatureLetter(selected, 'F')) {
    WriteSystemLog(TimeStamped(": SettingsChanged - Conflict found(" + conflicts.firewall + "), disabling Firewall"));
  }
  system.SetValue(kFeaturesSelected, platform::Variant(selected));
}

}  // namespace

void Application::SettingsChanged(bool fDoPersist) {
  const settings::SettingsPtr system = System();
  const settings::SettingsPtr user = User();

  std::string user_id;
  bool user_dirty = false;
  bool system_dirty = false;
  platform::Step([&] { user_id = platform::CStr(Required(user).GetValue("user.ID")); });
  platform::Step([&] { user_dirty = Required(user).Dirty(); });
  platform::Step([&] { system_dirty = Required(system).Dirty(); });
  WriteSystemLog(settings::FillPlaceholders("SettingsChanged: UserSID=%1 (%2) UserDirty=%3 SysDirty=%4",
                                            current_user_sid_, user_id, TrueFalse(user_dirty),
                                            TrueFalse(system_dirty)));

  platform::Step([&] { DisableConflictingFeatures(Required(system)); });

  WriteSystemLog(TimeStamped(": SettingsChanged is calling 'ProcessSettingsChange'"));
  platform::Step([&] { ProcessSettingsChange(system, user, current_user_sid_); });
  WriteSystemLog(TimeStamped(": SettingsChanged - Returned from 'ProcessSettingsChange'"));

  bool user_changed = false;
  if (!current_user_sid_.empty()) {
    platform::Step([&] {
      user_changed = platform::CStr(Required(user).GetValue("user.SID")) == current_user_sid_ && user->Dirty();
    });
  }

  WriteSystemLog(TimeStamped(": SettingsChanged - Checking to determine if OnSettingsChange event should be raised"));
  system_dirty = false;
  platform::Step([&] { system_dirty = Required(system).Dirty(); });
  if (system_dirty) {
    WriteSystemLog(TimeStamped(": SettingsChanged - writing current system snapshot to disk"));
    if (fDoPersist) platform::Step([&] { Required(system).WriteSnapshotToStored(""); });
    WriteSystemLog(TimeStamped(": SettingsChanged - calling notifyfeatureplugins"));
    platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnSettingsChange, system, user, user_changed); });
    WriteSystemLog(
        TimeStamped(": SettingsChanged - returned from  notifyfeatureplugins, raising OnSettingsChange event"));
    RaiseEvent(kDispIdOnSettingsChange, kEventOnSettingsChange);
    WriteSystemLog(TimeStamped(": SettingsChanged - returned from OnSettingsChange event"));
  }

  if (user_changed) {
    WriteSystemLog(TimeStamped(": SettingsChanged - writing current user snapshot to disk"));
    if (fDoPersist) platform::Step([&] { Required(user).WriteSnapshotToStored(current_user_sid_); });
    WriteSystemLog(TimeStamped(": SettingsChanged - calling notifyfeatureplugins"));
    platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnUserSettingsChange, system, user, false); });
    WriteSystemLog(
        TimeStamped(": SettingsChanged - returned from  notifyfeatureplugins, raising OnSettingsChange event"));
    RaiseEvent(kDispIdOnUserSettingsChange, kEventOnUserSettingsChange);
    WriteSystemLog(TimeStamped(": SettingsChanged - returned from OnSettingsChange event"));
  }

  WriteSystemLog(TimeStamped(": Leaving SettingsChanged"));
}

}  // namespace service
