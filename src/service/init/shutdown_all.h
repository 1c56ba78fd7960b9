// The end of a run: dirty settings stored, the feature plug-ins released,
// the Application reference dropped.
#pragma once

namespace service {

// Logs "<date time>: in ShutdownAll"; in safe mode without network that is
// all. Otherwise SaveAllSettings, DestroyIOPluginData, the shared
// Application reference cleared and ShutdownDone set, and "<date time>:
// Exiting ShutdownAll". The collections stay installed.
void ShutdownAll();

}  // namespace service
