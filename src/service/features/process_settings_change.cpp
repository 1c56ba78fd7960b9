#include <memory>

#include "platform/basic/err.h"
#include "service/features/features.h"
#include "settings/collection/c_settings.h"

namespace service {

void ProcessSettingsChange(const std::shared_ptr<settings::cSettings>& system,
                           const std::shared_ptr<settings::cSettings>& user, std::string_view current_user_sid) {
  platform::Step([&] {
    if (system == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "ProcessSettingsChange");
    RecalculateFeatures(*system);
  });
  if (user == nullptr) return;
  bool privileged = false;
  if (platform::Step([&] { privileged = user->GetValueB(kPrivAdvancedSetting); })) {
    SetUninstallerID(privileged, current_user_sid);
  }
}

}  // namespace service
