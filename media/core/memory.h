// The tracking memory manager: every block of the media layer carries a
// record in front of it, chained in one list, so that shutdown can list what
// is still allocated and a corrupted record can be found.
#pragma once

#include <cstddef>
#include <cstdint>

namespace media {

void* MemAlloc(int32_t size, const char* sourceName, int32_t line);
void* MemAllocZeroed(int32_t size, const char* sourceName, int32_t line);
void MemFree(void* data);
void* MemRealloc(void* data, int32_t size, const char* sourceName, int32_t line);
void LogMemoryDump();
int CheckMemoryRecords();

// Read-only view of the manager's counters, for tests and reports.
struct MemoryCounters {
    int32_t totalAllocSize;
    int32_t allocCount;
    uint16_t nextAllocId;
};
MemoryCounters GetMemoryCounters();

// Tests: from now on MemAlloc refuses every block of at least bytes bytes
// (as if the memory were not there), so that the failure paths of large
// buffers can be reached; 0 ends it.
void FailAllocationsFrom(int32_t bytes);

// Where the manager's report lines go (the dump, the debug-mode traces, the
// damage lines). The manager stands below the log, so the log installs
// itself here when it is linked in; with no sink the lines are dropped.
using MemoryReportSink = int (*)(const char* text);
void SetMemoryReportSink(MemoryReportSink sink);

}  // namespace media
