// What the "alerts" and "logs" commands share about the alert store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "command.h"

namespace hearthctl {

// Opens the alert store; false (after saying so and where the details are,
// *exit_code kExitFailure) when it cannot be used.
bool AlertStoreUsable(const Command& self, Io& io, int* exit_code);

// While hearthd runs on the root, posts or deletes through it (so its
// clients hear of the change): whether that worked, *error saying why not.
// nullopt when no hearthd runs, or it cannot be reached on the bus: the
// caller writes the store itself.
std::optional<bool> PostAlertViaService(const std::string& store, uint8_t severity, const std::string& summary,
                                        const std::string& description, const std::string& alert_id,
                                        int32_t* index, std::string* error);
std::optional<bool> DeleteAlertViaService(int32_t index, std::string* error);

}  // namespace hearthctl
