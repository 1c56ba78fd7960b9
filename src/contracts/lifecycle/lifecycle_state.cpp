#include "contracts/lifecycle/lifecycle_state.h"

#include <utility>

namespace service {
namespace {

struct LifecycleState {
  platform::com::ObjectPtr application;
  bool shutdown_done = false;
  bool closing_windows = false;
};

thread_local LifecycleState state;

}  // namespace

platform::com::ObjectPtr GetApplicationObject() { return state.application; }
void SetApplicationObject(platform::com::ObjectPtr application) { state.application = std::move(application); }

bool ShutdownDone() { return state.shutdown_done; }
void SetShutdownDone(bool done) { state.shutdown_done = done; }

bool ClosingWindows() { return state.closing_windows; }
void SetClosingWindows(bool closing) { state.closing_windows = closing; }

}  // namespace service
