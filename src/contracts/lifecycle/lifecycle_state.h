// The module-level state of the service lifecycle, one copy per thread like
// the rest of the shared state: start-up fills the service thread's copy, and
// a thread that did not run start-up sees it empty.
#pragma once

#include "platform/com/object_fwd.h"

namespace service {

// The running service's one Application object; empty before start-up and
// after ShutdownAll.
platform::com::ObjectPtr GetApplicationObject();
void SetApplicationObject(platform::com::ObjectPtr application);

// Set by ShutdownAll at the end of a run.
bool ShutdownDone();
void SetShutdownDone(bool done);

// Set when the host reports that the machine itself is closing; while it is
// set the feature plug-ins are sent no more events.
bool ClosingWindows();
void SetClosingWindows(bool closing);

}  // namespace service
