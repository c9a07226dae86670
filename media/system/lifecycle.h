// The roof of the media layer: start-up, shutdown and the message pump, the
// millisecond clock and waiting for a key. It installs the handlers behind
// the ground's roof calls (the pump without the lock, the wait while
// inactive, the fatal exit), so the lock and those calls are declared there.
#pragma once

#include <cstdint>

#include "media/core/call_lock.h"
#include "media/core/roof_calls.h"

namespace media {

int InitMediaLibrary();      // 0, or -1 on failure
int EndMediaLibrary();       // 0
int PumpWindowMessages();    // 0 while the program may go on, -1 once it must end
int WaitAnyKey();            // the input that ended the wait, or 0 when the pump reported the end
int NowMilliseconds();       // the millisecond clock masked to 31 bits

// Fuzzing and tests: called by AbortMediaLibrary once the layer is shut down,
// in place of ending the process. It must not return (it throws to its
// caller's frame); when it does, the process ends as without it.
extern void (*AbortMediaLibraryHook)(const char* text);

// Clears the system state at the window step of start-up, keeping the
// settings made before start-up and the log's place.
void ResetSystemStateForStart();

}  // namespace media
