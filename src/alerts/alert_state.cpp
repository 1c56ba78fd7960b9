#include "alerts/alert_state.h"

#include "alerts/mod_alert.h"
#include "platform/basic/err.h"
#include "systemlog/system_log.h"
#include "settings/folders/folders.h"

namespace alerts {

AlertState& State() {
  thread_local AlertState state;
  return state;
}

contracts::ImdbComponent& Connection() {
  AlertState& state = State();
  if (!state.connection) platform::RaiseError(platform::kErrObjectNotSet);
  return *state.connection;
}

std::string ProfileFolder() { return settings::GetProfileFolder(); }

std::string AlertDatabasePath() { return ProfileFolder() + "/imdb.bin"; }

void Log(std::string_view message) { service::WriteSystemLog(message); }

}  // namespace alerts
