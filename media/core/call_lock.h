// The call lock that serialises the media layer's public calls across
// threads. Re-entrant for its holder; waiters are served first come, first
// served.
#pragma once

#include <cstdint>

namespace media {

void LockLibrary();
void UnlockLibrary();
uint64_t LibraryLockOwner();  // thread id of the holder, or ~0 when free
int LibraryLockWaitCount();   // threads queued for the call lock (tests, reports)

// Takes the wait events apart at the end of the library; a lock that is held
// or waited for is left as it is.
void DestroyCallLock();

}  // namespace media
