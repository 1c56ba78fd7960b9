// The XML actions DoXMLAction dispatches to, each with the "action" element.
// An action may raise; DoXMLAction contains it and goes on with the next.
#pragma once

#include <string>

#include "platform/xml/node.h"
#include "plugins/ionotify/io_notify.h"

namespace plugins::ionotify {

using platform::xml::Node;

void SettingsAction(cIoNotify& io, const Node& action);
void RunProgramAction(cIoNotify& io, const Node& action);
void LaunchProcessAction(cIoNotify& io, const Node& action);
void SetTimeFormatsAction(cIoNotify& io, const Node& action);
void ResetBrandingAction(cIoNotify& io);

void LogAlertAction(cIoNotify& io, const Node& action);
void AlertPostAction(cIoNotify& io, const Node& action);
// "getsecurelog": the reply.
std::string GetSecureLogEntries(cIoNotify& io, const Node& action);
void ClearSecureLogAction(cIoNotify& io, const Node& action);

// The scheduler and time-budget plug-ins.
void UpdateScheduleAction(cIoNotify& io, const Node& action);
// "getscheduleevent": the reply (empty when the plug-in cannot answer).
std::string GetScheduleEventAction(cIoNotify& io, const Node& action);
void UpdateTimeBudgetSettingsAction(cIoNotify& io);

}  // namespace plugins::ionotify
