// The end of the start order that Service.OnStart and SvcCtl.DoStartup share:
// the feature plug-ins are built and told of the start, protection is turned
// on, and the "complete, Err=" line closes the start.
#pragma once

namespace service {

void RunPluginStartSteps();

}  // namespace service
