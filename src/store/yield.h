// Letting pending events run between chunks of long store work.
#pragma once

namespace store {

// Runs the calling thread's pending events. The thread's pending error is
// the routine's own: whatever a pumped call leaves there is dropped and the
// routine's error (or none) is put back, so a pumped call can never end a
// backup or a playback, nor hide its failure.
void YieldToPendingEvents();

}  // namespace store
