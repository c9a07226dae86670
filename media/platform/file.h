// The file layer: plain POSIX files behind the calls the media layer makes.
// Paths are written the program's way; backslashes become slashes on open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace media {

// Converts a program path (".\PIC\button.png") into a native one ("./PIC/button.png").
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

}  // namespace media
