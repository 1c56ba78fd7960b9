// The "Wavelock" gate of GetAlertIndices.
#include <mutex>

#include "alerts/mod_alert.h"

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
  if (!reader) return false;
  try {
    return reader("sys.ui.RequireConfigurationPassword") && !reader("legacy.PrivAckAlerts");
  } catch (...) {
    // Settings that cannot be read keep the private store closed.
    return true;
  }
}

}  // namespace alerts
