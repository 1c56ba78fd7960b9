// What the "alerts" and "logs" commands share about the alert store.
#pragma once

#include "command.h"

namespace hearthctl {

// Opens the alert store; false (after saying so and where the details are,
// *exit_code kExitFailure) when it cannot be used.
bool AlertStoreUsable(const Command& self, Io& io, int* exit_code);

}  // namespace hearthctl
