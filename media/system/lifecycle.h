// Start-up, shutdown and the message pump of the media layer, the call lock,
// the millisecond clock, waiting for a key and the fatal exit.
#pragma once

#include <cstdint>

namespace media {

int InitMediaLibrary();      // 0, or -1 on failure
int EndMediaLibrary();       // 0
int PumpWindowMessages();    // 0 while the program may go on, -1 once it must end
int ProcessWindowMessages(); // the pump's work without the call lock
void WaitWhileInactive();    // holds the caller while the window is inactive
int WaitAnyKey();            // the input that ended the wait, or 0 when the pump reported the end
int NowMilliseconds();       // the millisecond clock masked to 31 bits

[[noreturn]] void AbortMediaLibrary(const char* text);
[[noreturn]] void AbortMediaLibraryf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Fuzzing and tests: called by AbortMediaLibrary once the layer is shut down,
// in place of ending the process. It must not return (it throws to its
// caller's frame); when it does, the process ends as without it.
extern void (*AbortMediaLibraryHook)(const char* text);

void LockLibrary();
void UnlockLibrary();
uint64_t LibraryLockOwner();  // thread id of the holder, or ~0 when free
int LibraryLockWaitCount();   // threads queued for the call lock (tests, reports)

// Clears the system state at the window step of start-up, keeping the
// settings made before start-up and the log's place.
void ResetSystemStateForStart();

// True while the pump runs its per-pump services (keyboard refresh and the
// rest), so that they do not start a second, nested pump.
bool PumpServicesRunning();

}  // namespace media
