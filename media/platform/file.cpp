// Raw files on POSIX, and the one conversion of a program path into a native
// one. Everything here takes native paths; the floors above convert.
#include "media/platform/file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/stat.h>
#include <new>
#include <unistd.h>

#include "media/base/charset.h"

namespace media {

std::string NativePath(const char* path, int32_t characterSet)
{
    std::string native = path ? path : "";
    for (size_t i = 0; i < native.size(); ++i) {
        const uint8_t c = uint8_t(native[i]);
        if (IsLeadByte(c, characterSet)) {
            ++i;  // the trail byte may be 0x5C; it is part of the character
            continue;
        }
        if (c == '\\')
            native[i] = '/';
    }
    return native;
}

std::string ConvertedNativePath(const char* path, int32_t characterSet)
{
    std::string raw = NativePath(path, characterSet);
    if (std::none_of(raw.begin(), raw.end(), [](char c) { return uint8_t(c) >= 0x80; }))
        return std::string();
    // CP932, not iconv's SHIFT_JIS: that one turns 0x5C and 0x7E into the yen
    // sign and the overline, which no program path means.
    const char* codePage = characterSet == CharsetHangul ? "CP949"
                           : characterSet == CharsetBig5 ? "CP950"
                           : characterSet == CharsetGb2312 ? "CP936"
                                                           : "CP932";
    iconv_t converter = iconv_open("UTF-8", codePage);
    if (converter == iconv_t(-1))
        return std::string();
    std::string converted(raw.size() * 3 + 1, '\0');
    char* in = raw.data();
    size_t inLeft = raw.size();
    char* out = converted.data();
    size_t outLeft = converted.size();
    const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (done == size_t(-1) || inLeft != 0)
        return std::string();
    converted.resize(converted.size() - outLeft);
    return converted;
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
    return chdir(path) == 0;
}

bool FileDelete(const char* path)
{
    return unlink(path) == 0;
}

FileHandle FileCreateNew(const char* path)
{
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

FileHandle FileOpenTruncate(const char* path)
{
    return open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
}

FileHandle FileOpenAppend(const char* path)
{
    // O_APPEND makes every write land at the end, even if another process
    // appends to the same file between our writes.
    return open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

FileHandle FileOpenRead(const char* path)
{
    return open(path, O_RDONLY | O_CLOEXEC);
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

long FileReadAt(FileHandle file, void* data, size_t size, long long offset)
{
    size_t total = 0;
    char* bytes = static_cast<char*>(data);
    while (total < size) {
        const ssize_t got = pread(file, bytes + total, size - total, off_t(offset + (long long)total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return total > 0 ? long(total) : -1;
        }
        if (got == 0)
            break;
        total += size_t(got);
    }
    return long(total);
}

bool FileIsRegular(FileHandle file)
{
    struct stat st {};
    return fstat(file, &st) == 0 && S_ISREG(st.st_mode);
}

int FileReadWhole(const char* path, size_t limit, std::string* text)
{
    text->clear();
    // Not blocking, so that opening a FIFO with no writer returns at once.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st {};
    int problem = fstat(fd, &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
    if (problem == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) > limit)
        problem = EFBIG;
    if (problem == 0 && S_ISFIFO(st.st_mode)) {
        // A pipe with a writer (EAGAIN or data) is read as it comes; with none
        // yet (end of input at once), wait a while for one to open it.
        char first;
        ssize_t got;
        do
            got = read(fd, &first, 1);
        while (got < 0 && errno == EINTR);
        if (got == 1) {
            text->push_back(first);
        } else if (got == 0) {
            pollfd waiting{fd, POLLIN, 0};
            int ready;
            do
                ready = poll(&waiting, 1, FifoWriterWaitMilliseconds);
            while (ready < 0 && errno == EINTR);
            if (ready < 0) {
                problem = errno;
            } else if (ready == 0) {
                // Still no writer, or (EAGAIN) one that has not written yet.
                got = read(fd, &first, 1);
                if (got == 0)
                    problem = ETIMEDOUT;
                else if (got == 1)
                    text->push_back(first);
            }
        } else if (errno != EAGAIN) {
            problem = errno;
        }
    }
    if (problem == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        problem = errno;
    char buffer[65536];
    while (problem == 0) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            if (size_t(got) > limit - std::min(limit, text->size()))
                problem = EFBIG;
            else
                text->append(buffer, size_t(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            problem = errno;
        }
    }
    close(fd);
    if (problem != 0)
        text->clear();
    return problem;
}

bool PathIsDeviceOrAnonymousPipe(const char* path)
{
    struct stat st {};
    if (stat(path, &st) != 0)
        return false;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return true;
    // A named FIFO resolves to its place in a folder; a pipe's /proc link
    // ("pipe:[N]") resolves to nothing.
    char resolved[PATH_MAX];
    return S_ISFIFO(st.st_mode) && !realpath(path, resolved);
}

bool FolderExists(const char* path)
{
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace media
