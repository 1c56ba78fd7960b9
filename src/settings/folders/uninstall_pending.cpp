#include "settings/folders/uninstall_pending.h"

namespace settings {
namespace {

thread_local bool uninstall_pending = false;

}  // namespace

bool UninstallPending() { return uninstall_pending; }
void SetUninstallPending(bool pending) { uninstall_pending = pending; }

}  // namespace settings
