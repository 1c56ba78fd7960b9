// The "Wavelock" gate of GetAlertIndices.
#include <mutex>

#include "alerts/mod_alert.h"
#include "platform/basic/err.h"
#include "settings/shared/shared_settings.h"

namespace alerts {
namespace {

std::mutex& ReaderMutex() {
  static std::mutex mutex;
  return mutex;
}

UserSettingReader& Reader() {
  static UserSettingReader reader;
  return reader;
}

// The current user's collection of this thread; raises 91 when the thread
// has none.
bool ReadUserSetting(std::string_view name) {
  settings::SettingsPtr user = settings::GetUserSettings();
  if (!user) platform::RaiseError(platform::kErrObjectNotSet);
  return user->GetValueB(name);
}

}  // namespace

UserSettingReader SetUserSettingReader(UserSettingReader reader) {
  std::lock_guard lock(ReaderMutex());
  std::swap(Reader(), reader);
  return reader;
}

bool StoreGateClosed(const std::string& store_name) {
  // Only this exact spelling is gated.
  if (store_name != "Wavelock") return false;
  UserSettingReader reader;
  {
    std::lock_guard lock(ReaderMutex());
    reader = Reader();
  }
  if (!reader) reader = ReadUserSetting;
  try {
    return reader("sys.ui.RequireConfigurationPassword") && !reader("legacy.PrivAckAlerts");
  } catch (...) {
    // Settings that cannot be read (no user collection on this thread, a
    // value that is no Boolean) keep the private store closed.
    return true;
  }
}

}  // namespace alerts
