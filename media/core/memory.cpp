// The tracking memory manager.
//
// Layout on 64-bit: the record in front of every block keeps every field of
// the classic 64-byte layout, with the two links widened to 8 bytes. The
// header (name, id, line, size, links) is 40 bytes and its copy covers all of
// it, so the record is 80 bytes and the data that follows stays 16-byte
// aligned. Addresses are printed at full width (16 hex digits).
#include "media/core/memory.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>


namespace media {

namespace {

std::atomic<MemoryReportSink> reportSink{nullptr};

void Report(const char* text)
{
    if (const MemoryReportSink sink = reportSink.load())
        sink(text);
}

__attribute__((format(printf, 1, 2))) void ReportPrintfLine(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0)
        return;
    const size_t end = std::min(size_t(length), sizeof line - 2);
    line[end] = '\n';
    line[end + 1] = '\0';
    Report(line);
}

struct AllocRecord {
    char sourceName[16];
    uint16_t allocId;
    uint16_t sourceLine;
    int32_t size;
    AllocRecord* prev;
    AllocRecord* next;
    unsigned char headerCopy[40];
};

constexpr size_t HeaderBytes = offsetof(AllocRecord, headerCopy);
static_assert(HeaderBytes == 40, "the header copy must cover the whole header");
static_assert(sizeof(AllocRecord) == 80, "record size");
static_assert(sizeof(AllocRecord) % 16 == 0, "data must stay 16-byte aligned");

AllocRecord allocSentinel{};
AllocRecord* allocTail = nullptr;
uint16_t nextAllocId = 0;
int32_t totalAllocSize = 0;
int32_t allocCount = 0;
constexpr int32_t traceSize = 0;
int32_t failFrom = 0;  // tests: allocations of this many bytes or more fail (0: none)

// Created on first use, never destroyed: the log may allocate while it is held.
std::recursive_mutex& ManagerLock()
{
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

AllocRecord* RecordOf(void* data)
{
    return reinterpret_cast<AllocRecord*>(static_cast<unsigned char*>(data) - sizeof(AllocRecord));
}

void* DataOf(AllocRecord* record)
{
    return reinterpret_cast<unsigned char*>(record) + sizeof(AllocRecord);
}

// The live total is a 32-bit sum that wraps past 2 GiB, without the
// undefined signed overflow.
int32_t WrapAdd(int32_t total, int64_t change)
{
    return int32_t(uint32_t(total) + uint32_t(uint64_t(change)));
}

void RefreshCopy(AllocRecord* record)
{
    if (record)
        std::memcpy(record->headerCopy, record, HeaderBytes);
}

bool RecordIntact(const AllocRecord* record)
{
    return std::memcmp(record, record->headerCopy, HeaderBytes) == 0;
}

void SetSource(AllocRecord* record, const char* name, int32_t line)
{
    std::memset(record->sourceName, 0, sizeof record->sourceName);
    if (name) {
        const size_t length = std::strlen(name);
        const size_t keep = length < 15 ? length : 15;
        std::memcpy(record->sourceName, name + (length - keep), keep);
    }
    record->sourceLine = uint16_t(line);
    record->allocId = nextAllocId++;
}

// Copies the first bytes of a block for its record line. The block belongs to
// its owner, who may be writing it on another thread while a dump runs: the
// line shows whatever the bytes are at that moment, which is all a dump
// promises, so the thread checker is told this read is meant.
#if defined(__SANITIZE_THREAD__)
__attribute__((no_sanitize_thread))
#endif
void PeekBlockBytes(const unsigned char* data, int count, unsigned char* copy)
{
    const volatile unsigned char* bytes = data;
    for (int i = 0; i < count; ++i)
        copy[i] = bytes[i];
}

// The record's header as its copy keeps it.
AllocRecord CopiedHeader(const AllocRecord* record)
{
    AllocRecord header{};
    std::memcpy(&header, record->headerCopy, HeaderBytes);
    return header;
}

// size is the size shown; readable bounds the data bytes read. A damaged
// record shows its copy's size, and reads no more than both sizes allow, since
// either of them may be the overwritten one.
void LogMemoryRecord(AllocRecord* record, int32_t size, int32_t readable)
{
    char line[512];
    unsigned char* const address = static_cast<unsigned char*>(DataOf(record));
    const int n = std::clamp(readable, 0, 16);
    unsigned char data[16];
    PeekBlockBytes(address, n, data);
    int length = std::snprintf(line, sizeof line,
                               "\tsize:%d(%.3fkb)  file:%.16s  line:%d  ID:%d  addr:%016" PRIxPTR "  data:<",
                               size, double(uint32_t(size)) / 1024.0, record->sourceName,
                               int(record->sourceLine), int(record->allocId), uintptr_t(address));
    if (length < 0)
        return;
    for (int i = 0; i < n; ++i)
        line[length++] = (data[i] < 0x20 || data[i] > 0x7F) ? '.' : char(data[i]);
    line[length++] = '>';
    line[length++] = ' ';
    line[length++] = '[';
    for (int i = 0; i < n; ++i)
        length += std::snprintf(line + length, 4, i + 1 < n ? "%02x " : "%02x", data[i]);
    if (n == 0)
        line[length - 1] = ']';  // the closing bracket replaces the opening one
    else
        line[length++] = ']';
    line[length++] = '\n';
    line[length] = '\0';
    Report(line);
}

void LogMemoryRecord(AllocRecord* record) { LogMemoryRecord(record, record->size, record->size); }

void LogDamagedRecord(AllocRecord* record, int32_t copiedSize)
{
    Report("以下のメモリ確保情報が破損しました");
    LogMemoryRecord(record, copiedSize, std::min(copiedSize, record->size));
}

// A damaged record's copy is believed when it still fits the list: its next
// link is the record the walk came from (none for the newest), its prev is
// the sentinel or an address the heap can have given, and its size is not
// negative. A copy overwritten with its record fails this.
bool CopyFits(const AllocRecord& copy, const AllocRecord* newer)
{
    const bool prevPlausible = copy.prev == &allocSentinel ||
                               (copy.prev && uintptr_t(copy.prev) % alignof(std::max_align_t) == 0);
    return copy.next == newer && prevPlausible && copy.size >= 0;
}

void LinkAsNewest(AllocRecord* record)
{
    if (!allocTail)
        allocTail = &allocSentinel;
    allocTail->next = record;
    record->prev = allocTail;
    record->next = nullptr;
    allocTail = record;
    RefreshCopy(record);
    RefreshCopy(record->prev);
}

}  // namespace

void* MemAlloc(int32_t size, const char* sourceName, int32_t line)
{
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    const bool refused = failFrom > 0 && size >= failFrom;
    void* memory = size >= 0 && !refused ? std::malloc(size_t(size) + sizeof(AllocRecord)) : nullptr;
    if (!memory) {
        LogMemoryDump();
        CheckMemoryRecords();
        return nullptr;
    }
    AllocRecord* record = static_cast<AllocRecord*>(memory);
    SetSource(record, sourceName, line);
    record->size = size;
    LinkAsNewest(record);
    totalAllocSize = WrapAdd(totalAllocSize, size);
    ++allocCount;
    if (size == traceSize) {
        Report("mem alloc  ");
        LogMemoryRecord(record);
    }
    return DataOf(record);
}

void* MemAllocZeroed(int32_t size, const char* sourceName, int32_t line)
{
    void* data = MemAlloc(size, sourceName, line);
    if (data)
        std::memset(data, 0, size_t(size));
    return data;
}

void MemFree(void* data)
{
    if (!data)
        return;
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    AllocRecord* record = RecordOf(data);
    totalAllocSize = WrapAdd(totalAllocSize, -int64_t(record->size));
    --allocCount;
    if (record->prev)
        record->prev->next = record->next;
    if (record->next)
        record->next->prev = record->prev;
    if (record == allocTail)
        allocTail = record->prev;
    RefreshCopy(record->prev);
    RefreshCopy(record->next);
    if (record->size == traceSize) {
        Report("mem free  ");
        LogMemoryRecord(record);
    }
    std::free(record);
}

void* MemRealloc(void* data, int32_t size, const char* sourceName, int32_t line)
{
    if (!data)
        return MemAlloc(size, sourceName, line);
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    AllocRecord* old = RecordOf(data);
    const int32_t oldSize = old->size;
    const bool wasTail = (old == allocTail);
    void* memory = size >= 0 ? std::realloc(old, size_t(size) + sizeof(AllocRecord)) : nullptr;
    if (!memory) {
        LogMemoryDump();
        return nullptr;
    }
    AllocRecord* record = static_cast<AllocRecord*>(memory);
    if (size > oldSize)
        std::memset(static_cast<unsigned char*>(DataOf(record)) + oldSize, 0, size_t(size - oldSize));
    SetSource(record, sourceName, line);
    record->size = size;
    if (record->prev)
        record->prev->next = record;
    if (record->next)
        record->next->prev = record;
    if (wasTail)
        allocTail = record;
    totalAllocSize = WrapAdd(totalAllocSize, int64_t(size) - oldSize);
    RefreshCopy(record);
    RefreshCopy(record->prev);
    RefreshCopy(record->next);
    if (size == traceSize) {
        Report("mem realloc  ");
        LogMemoryRecord(record);
    }
    return DataOf(record);
}

void LogMemoryDump()
{
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    Report("\n");
    Report("Alloc memory dump\n");
    // A record whose header was overwritten is reported with its copy's
    // size, and the walk goes on through its copy's link. A copy that is
    // damaged as well ends the walk: its link could lead anywhere. The walk
    // is bounded by the live count, so a damaged link cannot send it round
    // for ever.
    int64_t left = int64_t(allocCount) + 1;
    AllocRecord* newer = nullptr;
    for (AllocRecord* record = allocTail; record && record != &allocSentinel && left-- > 0;) {
        // A record overwritten together with its copy (alike, they even
        // match) is found by the same test as a damaged copy.
        const AllocRecord copy = CopiedHeader(record);
        if (!CopyFits(copy, newer)) {
            Report("メモリ確保情報とその控えが共に破損しているため、ここでダンプを打ち切ります\n");
            break;
        }
        if (RecordIntact(record))
            LogMemoryRecord(record);
        else
            LogDamagedRecord(record, copy.size);
        newer = record;
        record = copy.prev;
    }
    ReportPrintfLine("\tTotal size:%d(%.3fkb)  Alloc num:%d", totalAllocSize, double(totalAllocSize) / 1024.0, allocCount);
    Report("\n");
}

int CheckMemoryRecords()
{
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    for (AllocRecord* record = allocTail; record && record != &allocSentinel; record = record->prev) {
        if (!RecordIntact(record)) {
            LogDamagedRecord(record, CopiedHeader(record).size);
            return -1;
        }
    }
    return 0;
}

MemoryCounters GetMemoryCounters()
{
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    return MemoryCounters{totalAllocSize, allocCount, nextAllocId};
}

void FailAllocationsFrom(int32_t bytes)
{
    std::lock_guard<std::recursive_mutex> guard(ManagerLock());
    failFrom = bytes > 0 ? bytes : 0;
}

void SetMemoryReportSink(MemoryReportSink sink)
{
    reportSink.store(sink);
}

}  // namespace media
