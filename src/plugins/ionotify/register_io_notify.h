// Wires cIoNotify into the plug-in registry: the shared object is made by
// this module's factory, and the registry's secure-log synchronisation runs
// SyncSecureLogs. Called once at start-up (and by hearthctl before it runs
// actions in its own process); calling it again changes nothing.
#pragma once

namespace plugins::ionotify {

void RegisterIoNotify();

}  // namespace plugins::ionotify
