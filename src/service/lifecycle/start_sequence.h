// The end of the start order that Service.OnStart and SvcCtl.DoStartup share:
// the feature plug-ins are built and told of the start, protection is turned
// on, and the "complete, Err=" line closes the start.
//
// The start keeps the first error of its steps: later steps trap and clear
// errors of their own (the plug-in notifications clear the pending error
// when they finish), which must not hide an earlier failure from the
// "Err=" lines and from DoStartup's answer.
#pragma once

#include <string>

#include "platform/basic/err.h"

namespace service {

// Forgets the error kept by an earlier start on this thread.
void ClearStartError();
// Keeps the pending error when no error is kept yet.
void NoteStartError();
// The kept error's description; empty when every step so far succeeded.
std::string StartErrorText();
bool StartFailed();

// One step of the start order: runs it as platform::Step does and keeps its
// failure.
template <class F>
bool StartStep(F&& step) noexcept {
  const bool done = platform::Step(std::forward<F>(step));
  NoteStartError();
  return done;
}

void RunPluginStartSteps();

}  // namespace service
