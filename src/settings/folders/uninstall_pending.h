// The uninstall marker of the shared state: set once by the uninstall check
// at stop; while it is set, settings collections are stored empty. One copy
// per thread, starting False.
#pragma once

namespace settings {

bool UninstallPending();
void SetUninstallPending(bool pending);

}  // namespace settings
