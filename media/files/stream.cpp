// Buffered read streams for the image loader: plain files only (no archive
// lookup), at most MaxOpenStreams open at once, each record from the memory
// manager. Paths are the program's; they are made native here.
#include "media/files/stream.h"

#include <cstring>
#include <new>

#include "media/core/memory.h"
#include "media/core/system_state.h"
#include "media/log/log.h"
#include "media/platform/file.h"

namespace media {

namespace {

constexpr size_t StreamBufferSize = 32768;

struct StreamRecord {
    FileHandle fd = InvalidFile;
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
size_t ReadAt(FileHandle file, uint8_t* out, size_t size, long long offset)
{
    const long got = FileReadAt(file, out, size, offset);
    return got > 0 ? size_t(got) : 0;
}

// The record of a regular file opened for reading; closes the file when none
// can be made.
StreamHandle StreamOfFile(FileHandle fd)
{
    if (fd == InvalidFile)
        return 0;
    if (!FileIsRegular(fd)) {
        FileClose(fd);
        return 0;
    }
    void* memory = MemAlloc(int32_t(sizeof(StreamRecord)), "", 0);
    if (!memory) {
        FileClose(fd);
        LogAdd("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    StreamRecord* record = new (memory) StreamRecord;
    record->fd = fd;
    record->size = FileSize(fd);
    ++openStreams;
    return reinterpret_cast<StreamHandle>(record);
}

bool StreamLimitReached()
{
    if (openStreams < MaxOpenStreams)
        return false;
    LogAdd("同時に開けるファイルの数が限界を超えました\n");
    return true;
}

}  // namespace

StreamHandle StreamOpenNative(const char* nativePath)
{
    if (StreamLimitReached() || !nativePath)
        return 0;
    return StreamOfFile(FileOpenRead(nativePath));
}

StreamHandle StreamOpen(const char* path)
{
    if (StreamLimitReached() || !path)
        return 0;
    // The converted name first, then the raw one; a folder under the
    // converted name does not hide a file under the raw one.
    const std::string converted = ConvertedNativePath(path, systemState.characterSet);
    if (!converted.empty()) {
        const FileHandle fd = FileOpenRead(converted.c_str());
        if (fd != InvalidFile && FileIsRegular(fd))
            return StreamOfFile(fd);
        FileClose(fd);
    }
    return StreamOfFile(FileOpenRead(NativePath(path, systemState.characterSet).c_str()));
}

int StreamClose(StreamHandle stream)
{
    if (!stream)
        return -1;
    StreamRecord* record = Record(stream);
    FileClose(record->fd);
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
