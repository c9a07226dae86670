// Raw files: plain POSIX files behind the calls the media layer makes. Every
// call takes a native path; NativePath makes one from a program path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace media {

// Converts a program path (".\PIC\button.png") into a native one ("./PIC/button.png").
// Only a backslash that separates is turned: the second byte of a double-byte
// character (0x5C in "表", 0x95 0x5C) stays as it is.
// characterSet tells lead bytes (the current character set of the caller).
// The text's bytes are kept as they are: the raw native name.
std::string NativePath(const char* path, int32_t characterSet);
// The converted native name: NativePath's, with the text converted from the
// character set's code page (CP932 for Shift-JIS, CP949, CP950, CP936) to
// UTF-8, the encoding of Linux file names. Empty when the path holds no byte
// of 0x80 or more (then both names are one), or is no text of that code page.
std::string ConvertedNativePath(const char* path, int32_t characterSet);

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
// Reads up to size bytes at offset, retrying short reads; the count read, or
// -1 when nothing could be read for an error.
long FileReadAt(FileHandle file, void* data, size_t size, long long offset);
// True for a regular file (not a folder, pipe or device).
bool FileIsRegular(FileHandle file);
// True when the native path names a folder.
bool FolderExists(const char* path);

// True when the native path names a device (/dev/null, a terminal) or a pipe
// with no name of its own (/dev/stdout reached through /proc/self/fd): a
// place to write into, never to remove and create anew.
bool PathIsDeviceOrAnonymousPipe(const char* path);

// How long FileReadWhole waits for a program to open a FIFO for writing.
constexpr int FifoWriterWaitMilliseconds = 3000;

// Reads a whole input file a person names: a regular file, a pipe
// (/dev/stdin, a shell's <(...)) or a FIFO, a device. Never waits forever
// for nothing: a FIFO that no program opens for writing within
// FifoWriterWaitMilliseconds gives ETIMEDOUT, and more than limit bytes
// (/dev/zero) gives EFBIG. A folder gives EISDIR. Returns 0 or the error.
int FileReadWhole(const char* path, size_t limit, std::string* text);

}  // namespace media
