// The file layer on POSIX. Program paths use backslashes; they become
// slashes here, at the one place where a path meets the operating system.
#include "media/platform/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <new>
#include <unistd.h>

#include "media/log/log.h"
#include "media/system/memory.h"
#include "media/system/system_state.h"

namespace media {

std::string NativePath(const char* path)
{
    std::string native = path ? path : "";
    for (size_t i = 0; i < native.size(); ++i) {
        const uint8_t c = uint8_t(native[i]);
        if (IsLeadByte(c, systemState.characterSet)) {
            ++i;  // the trail byte may be 0x5C; it is part of the character
            continue;
        }
        if (c == '\\')
            native[i] = '/';
    }
    return native;
}

uint32_t FileGetCurrentDirectory(char* buffer, uint32_t bufferSize)
{
    // getcwd has no upper bound of its own that we could ask for cheaply, so
    // read into a large scratch buffer and report the size the caller needs.
    char scratch[4096];
    if (!getcwd(scratch, sizeof scratch))
        return 0;
    size_t length = std::strlen(scratch);
    if (length + 1 > bufferSize)
        return uint32_t(length + 1);
    std::memcpy(buffer, scratch, length + 1);
    return uint32_t(length);
}

bool FileSetCurrentDirectory(const char* path)
{
    return chdir(NativePath(path).c_str()) == 0;
}

bool FileDelete(const char* path)
{
    return unlink(NativePath(path).c_str()) == 0;
}

FileHandle FileCreateNew(const char* path)
{
    return open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

FileHandle FileOpenTruncate(const char* path)
{
    return open(NativePath(path).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
}

FileHandle FileOpenAppend(const char* path)
{
    // O_APPEND makes every write land at the end, even if another process
    // appends to the same file between our writes.
    return open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

FileHandle FileOpenRead(const char* path)
{
    return open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
}

bool FileWrite(FileHandle file, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(file, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

long FileRead(FileHandle file, void* data, size_t size)
{
    size_t total = 0;
    char* bytes = static_cast<char*>(data);
    while (total < size) {
        ssize_t got = read(file, bytes + total, size - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        total += size_t(got);
    }
    return long(total);
}

long long FileSize(FileHandle file)
{
    struct stat st {};
    if (fstat(file, &st) != 0)
        return -1;
    return (long long)st.st_size;
}

bool FileSeek(FileHandle file, long long offset)
{
    return lseek(file, off_t(offset), SEEK_SET) == off_t(offset);
}

void FileClose(FileHandle file)
{
    if (file >= 0)
        close(file);
}

// ------------------------------------------------------------ read streams

namespace {

constexpr size_t StreamBufferSize = 32768;

struct StreamRecord {
    int fd = -1;
    long long size = 0;
    long long position = 0;
    bool atEnd = false;
    long long bufferStart = 0;  // file offset of buffer[0]
    size_t bufferLength = 0;
    uint8_t buffer[StreamBufferSize];
};

int openStreams = 0;

StreamRecord* Record(StreamHandle stream)
{
    return reinterpret_cast<StreamRecord*>(stream);
}

// Reads at a file offset, retrying short reads; the count read.
size_t ReadAt(int fd, uint8_t* out, size_t size, long long offset)
{
    size_t total = 0;
    while (total < size) {
        const ssize_t got = pread(fd, out + total, size - total, off_t(offset + (long long)total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (got == 0)
            break;
        total += size_t(got);
    }
    return total;
}

}  // namespace

StreamHandle StreamOpen(const char* path)
{
    if (openStreams >= MaxOpenStreams) {
        LogAdd("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 0;
    }
    void* memory = MemAlloc(int32_t(sizeof(StreamRecord)), "", 0);
    if (!memory) {
        close(fd);
        LogAdd("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    StreamRecord* record = new (memory) StreamRecord;
    record->fd = fd;
    record->size = (long long)st.st_size;
    ++openStreams;
    return reinterpret_cast<StreamHandle>(record);
}

int StreamClose(StreamHandle stream)
{
    if (!stream)
        return -1;
    StreamRecord* record = Record(stream);
    close(record->fd);
    record->~StreamRecord();
    MemFree(record);
    --openStreams;
    return 0;
}

long long StreamTell(StreamHandle stream)
{
    return stream ? Record(stream)->position : -1;
}

int StreamSeek(StreamHandle stream, long long offset, int origin)
{
    if (!stream)
        return -1;
    StreamRecord* record = Record(stream);
    long long base;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = record->position; break;
    case 2: base = record->size; break;
    default: return -1;
    }
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > (1LL << 62) - offset))
        return -1;
    record->position = base + offset;
    record->atEnd = false;
    return 0;
}

size_t StreamRead(void* buffer, size_t elementSize, size_t count, StreamHandle stream)
{
    if (!stream || elementSize == 0 || count == 0)
        return 0;
    StreamRecord* record = Record(stream);
    const long long left = record->position < record->size ? record->size - record->position : 0;
    size_t wanted = count;
    if (wanted > size_t(left) / elementSize + 1)
        wanted = size_t(left) / elementSize + 1;  // no more than the file can give, without overflow
    size_t bytes = wanted * elementSize;
    if ((long long)bytes > left) {
        bytes = size_t(left);
        record->atEnd = true;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < bytes) {
        const long long at = record->position;
        if (at >= record->bufferStart && at < record->bufferStart + (long long)record->bufferLength) {
            const size_t offset = size_t(at - record->bufferStart);
            size_t take = record->bufferLength - offset;
            if (take > bytes - done)
                take = bytes - done;
            std::memcpy(out + done, record->buffer + offset, take);
            done += take;
            record->position += (long long)take;
            continue;
        }
        if (bytes - done >= StreamBufferSize) {
            // Large reads go straight into the caller's buffer.
            const size_t got = ReadAt(record->fd, out + done, bytes - done, at);
            done += got;
            record->position += (long long)got;
            if (got == 0)
                break;
            continue;
        }
        record->bufferStart = at;
        record->bufferLength = ReadAt(record->fd, record->buffer, StreamBufferSize, at);
        if (record->bufferLength == 0)
            break;
    }
    if (done < bytes)
        record->atEnd = true;
    return done / elementSize;
}

int StreamEof(StreamHandle stream)
{
    return stream && Record(stream)->atEnd ? 1 : 0;
}

long long StreamSize(StreamHandle stream)
{
    return stream ? Record(stream)->size : -1;
}

int OpenStreamCount()
{
    return openStreams;
}

}  // namespace media
