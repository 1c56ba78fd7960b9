// Start-up initialisation: everything the service holds in memory before the
// Application object starts.
//
// Init loads the system settings, publishes the application, profile and log
// folders as "sys.AppPath", "sys.ProfilePath" and "sys.LogPath", installs an
// empty current-user collection, synchronises the known users, looks for the
// administrator user (multi-user mode) and, when there is none, has the
// Application object load the guest profile. In safe mode without network
// (clean-boot value 1) it loads nothing at all; it only wires in the shared
// cIoNotify object and the brand-change listener, as in every start. A
// failure of an early step stays the pending error to the end, though the
// guest profile's plug-in notification clears it on its way.
#pragma once

namespace service {

struct SvcInit {
  // Runs on the thread that starts the service. Every failing step is
  // recorded as the pending error and the next step runs.
  static void Init();
};

}  // namespace service
