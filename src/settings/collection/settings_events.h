// Raising the __cSettings events: each goes to the sinks by name and by id,
// so that object sinks may implement either.
#pragma once

#include <span>

#include "platform/basic/variant.h"
#include "platform/com/event_source.h"

namespace settings {

// The event's name for its dispatch identifier ("SettingChanged" for 2).
const char* SettingsEventName(platform::com::DispId id);

void RaiseSettingsEvent(platform::com::EventSource& events, platform::com::DispId id,
                        std::span<platform::Variant> args = {});

}  // namespace settings
