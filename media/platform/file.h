// The file layer: plain POSIX files behind the calls the media layer makes.
// Paths are written the program's way; backslashes become slashes on open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace media {

// Converts a program path (".\PIC\button.png") into a native one ("./PIC/button.png").
// Only a backslash that separates is turned: the second byte of a double-byte
// character (0x5C in "表", 0x95 0x5C) stays as it is.
std::string NativePath(const char* path);

// Copies the current directory into buffer. Returns its length without the
// terminator, or, when the buffer is too small, the size needed (terminator
// included) and leaves the buffer untouched; 0 on failure.
uint32_t FileGetCurrentDirectory(char* buffer, uint32_t bufferSize);
bool FileSetCurrentDirectory(const char* path);

bool FileDelete(const char* path);

// A file opened by the file layer; -1 when none.
using FileHandle = int;
constexpr FileHandle InvalidFile = -1;

// Creates a new empty file; fails when it exists already.
FileHandle FileCreateNew(const char* path);
// Opens an existing file for writing and empties it.
FileHandle FileOpenTruncate(const char* path);
// Opens for writing, creating the file when missing, positioned at its end.
// Every write is appended at the end, even when another process appends too.
FileHandle FileOpenAppend(const char* path);
// Opens an existing file for reading.
FileHandle FileOpenRead(const char* path);
// Writes all bytes; false on a short write.
bool FileWrite(FileHandle file, const void* data, size_t size);
// Reads up to size bytes; returns the count read, or -1 on error.
long FileRead(FileHandle file, void* data, size_t size);
// Size of an open file, or -1.
long long FileSize(FileHandle file);
bool FileSeek(FileHandle file, long long offset);
void FileClose(FileHandle file);

// Read streams for the image loader: plain files only (no archive lookup),
// buffered, at most MaxOpenStreams open at once. Each stream's record comes
// from the memory manager.
using StreamHandle = uintptr_t;  // 0 when none
constexpr int MaxOpenStreams = 512;

// Opens an existing file for reading; 0 when it is missing or the limit of
// open streams is reached (logged) or the record cannot be allocated (logged).
StreamHandle StreamOpen(const char* path);
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
