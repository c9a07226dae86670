// Read streams for the image loader, above the raw files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace media {

// Read streams for the image loader: plain files only (no archive lookup),
// buffered, at most MaxOpenStreams open at once. Each stream's record comes
// from the memory manager.
using StreamHandle = uintptr_t;  // 0 when none
constexpr int MaxOpenStreams = 512;

// Opens an existing file of a program path for reading, under its converted
// name first, then its raw one (media/files/program_path.h); 0 when it is
// missing or the limit of open streams is reached (logged) or the record
// cannot be allocated (logged).
StreamHandle StreamOpen(const char* path);
// The same for a native path, taken as it is.
StreamHandle StreamOpenNative(const char* nativePath);
int StreamClose(StreamHandle stream);
// Current position, or -1.
long long StreamTell(StreamHandle stream);
// origin 0: from the start, 1: from the current position, 2: from the end.
// Returns 0, or -1 for a bad origin or a position before the start.
int StreamSeek(StreamHandle stream, long long offset, int origin);
// Reads up to count elements of elementSize bytes; returns the number of
// whole elements read (0 at the end or on failure). A partly read element
// leaves the position behind the bytes that were there.
size_t StreamRead(void* buffer, size_t elementSize, size_t count, StreamHandle stream);
// Non-zero once a read has met the end of the file (cleared by a seek).
int StreamEof(StreamHandle stream);
// Size of the file in bytes, or -1.
long long StreamSize(StreamHandle stream);
int OpenStreamCount();

}  // namespace media
