// The administrator search of start-up.
#pragma once

#include <string>

#include "settings/collection/c_settings.h"

namespace service {

// The first user of "users.sids" (list order; empty entries and "*"
// skipped) whose "user.<sid>.isadmin" is True; a missing value, or one that
// is not a Boolean, counts as False. Empty text when there is none.
std::string FindAdministratorSid(settings::cSettings& system);

}  // namespace service
