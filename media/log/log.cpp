// The log file. Each call opens the file, appends one piece and closes it, so
// a crash never loses what was written before it.
#include "media/log/log.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "media/platform/file.h"
#include "media/platform/platform.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"

namespace media {

namespace {

constexpr size_t FixedBufferSize = 256;
constexpr size_t FormatBufferSize = 1024;

FILE* echoStreams[2] = {nullptr, nullptr};
// The echo's own line state: it shows every piece, written to the file or not.
bool echoLineOpen = false;
// A log that cannot be written is said once a run, on standard error.
bool unwritableReported = false;

// The log file's native path: the folder (where the program started) and the
// file name set by the program.
std::string LogFilePath()
{
    const SystemState& s = systemState;
    if (!s.logDirectory[0])
        return NativePath(s.logFileName, s.characterSet);
    std::string path = s.logDirectory;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    path += s.logFileName;
    return NativePath(path.c_str(), s.characterSet);
}

// The same into buffer (at least PathBufferSize bytes), made again only when
// the folder, the name or the character set changed: every piece of the log
// needs it. The cache outlives every static destructor that may still log.
constexpr size_t PathBufferSize = 4096 + 256;
void CachedLogFilePath(char* buffer)
{
    struct Cache {
        std::mutex mutex;
        std::string directory, fileName, path;
        int32_t characterSet = -1;
    };
    static Cache* const cache = new Cache;
    const SystemState& s = systemState;
    std::lock_guard<std::mutex> hold(cache->mutex);
    if (s.characterSet != cache->characterSet || cache->directory != s.logDirectory ||
        cache->fileName != s.logFileName) {
        cache->directory = s.logDirectory;
        cache->fileName = s.logFileName;
        cache->characterSet = s.characterSet;
        cache->path = LogFilePath();
    }
    const size_t length = std::min(cache->path.size(), PathBufferSize - 1);
    std::memcpy(buffer, cache->path.data(), length);
    buffer[length] = '\0';
}

// Turns bare line feeds into CR LF, stepping over double-byte characters. At
// the first line feed that already has its carriage return the rest is copied
// unchanged. Returns the converted length.
size_t ConvertLineEnds(const char* text, size_t length, char* out)
{
    size_t o = 0;
    size_t i = 0;
    while (i < length) {
        const uint8_t c = uint8_t(text[i]);
        if (c == '\n') {
            if (i > 0 && text[i - 1] == '\r')
                break;
            out[o++] = '\r';
            out[o++] = '\n';
            ++i;
        } else if (IsLeadByte(c, systemState.characterSet) && i + 1 < length) {
            out[o++] = text[i];
            out[o++] = text[i + 1];
            i += 2;
        } else {
            out[o++] = text[i++];
        }
    }
    std::memcpy(out + o, text + i, length - i);
    o += length - i;
    out[o] = '\0';
    return o;
}

// Tells the user once a run that the log is lost, where and why; the run
// itself goes on without it.
void ReportUnwritableLog(const std::string& path, int error)
{
    if (unwritableReported)
        return;
    unwritableReported = true;
    std::string where = path;
    if (where.empty() || where[0] != '/') {
        char directory[4096];
        if (getcwd(directory, sizeof directory))
            where = std::string(directory) + "/" + (where.rfind("./", 0) == 0 ? where.substr(2) : where);
    }
    std::fprintf(stderr, "%s: the log %s cannot be written: %s; the run goes on without it\n",
                 program_invocation_short_name, where.c_str(), std::strerror(error));
    std::fflush(stderr);
}

bool EchoWanted()
{
    return echoStreams[0] || echoStreams[1];
}

// The head of a piece: timestamp and tabs where a new line begins, nothing
// inside a line. out has room for PieceHeadRoom() bytes; returns the length.
size_t PieceHeadRoom()
{
    return 16 + size_t(systemState.logIndent > 0 ? systemState.logIndent : 0);
}

size_t WriteLineHead(char* out, bool lineOpen, uint32_t now)
{
    if (lineOpen)
        return 0;
    // "%d:" of the milliseconds since LogStart, written by hand: this runs
    // for every line of the log.
    const int32_t elapsed = int32_t(now - systemState.logStartTime);
    uint32_t magnitude = elapsed < 0 ? 0u - uint32_t(elapsed) : uint32_t(elapsed);
    char stamp[16];
    char* const end = stamp + sizeof stamp;
    char* at = end;
    *--at = ':';
    do {
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (elapsed < 0)
        *--at = '-';
    size_t used = size_t(end - at);
    std::memcpy(out, at, used);
    const size_t tabs = size_t(systemState.logIndent > 0 ? systemState.logIndent : 0);
    std::memset(out + used, '\t', tabs);
    return used + tabs;
}

// Sends a piece of log text to the echo streams as UTF-8 with plain line feeds.
void EchoPiece(const char* text, size_t length)
{
    if (!EchoWanted())
        return;
    static std::mutex echoMutex;
    std::lock_guard<std::mutex> guard(echoMutex);
    const std::string utf8 = platform::ShiftJisToUtf8(std::string(text, length));
    std::string plain;
    plain.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
            continue;
        plain += utf8[i];
    }
    for (FILE* stream : echoStreams) {
        if (stream) {
            std::fwrite(plain.data(), 1, plain.size(), stream);
            std::fflush(stream);
        }
    }
}

// Drops a lead byte left alone at the end of a cut text, so that the cut
// cannot swallow the line feed that may follow it.
size_t TrimPartialCharacter(const char* text, size_t length)
{
    size_t i = 0;
    while (i < length) {
        if (IsLeadByte(uint8_t(text[i]), systemState.characterSet)) {
            if (i + 1 >= length)
                return i;
            i += 2;
        } else {
            ++i;
        }
    }
    return length;
}

// Formats into the 1024-byte buffer; a text that does not fit is cut at a
// character boundary, leaving room for reserve more bytes.
size_t FormatLogText(char (&buffer)[FormatBufferSize], size_t reserve, const char* format, va_list args)
{
    const size_t limit = FormatBufferSize - reserve;
    va_list again;
    va_copy(again, args);
    int written = std::vsnprintf(buffer, limit, format, args);
    if (written < 0) {
        va_end(again);
        buffer[0] = '\0';
        return 0;
    }
    size_t length = size_t(written);
    if (length >= limit) {
        // A cut text keeps its final line feed, or the next entry would
        // continue the cut line.
        std::string whole(length + 1, '\0');
        std::vsnprintf(whole.data(), whole.size(), format, again);
        const bool endsLine = whole[length - 1] == '\n';
        length = TrimPartialCharacter(buffer, limit - 1 - (endsLine ? 1 : 0));
        if (endsLine)
            buffer[length++] = '\n';
        buffer[length] = '\0';
    }
    va_end(again);
    return length;
}

// The memory manager stands below the log: its report lines (the dump, the
// debug-mode traces, damage) reach the log through this sink.
const bool memoryReportsInstalled = (SetMemoryReportSink(&LogAdd), true);

}  // namespace

int LogStart()
{
    SystemState& s = systemState;
    const std::string path = LogFilePath();
    // A log named /dev/null or /dev/stdout (a terminal, or a pipe reached
    // through /proc/self/fd) is written, never removed. A named FIFO is
    // replaced as a file is: the log reopens its file for every text, which
    // would wait for ever on a FIFO without a reader.
    const bool device = PathIsDeviceOrAnonymousPipe(path.c_str());
    if (!device)
        FileDelete(path.c_str());
    unwritableReported = false;
    FileHandle file = FileCreateNew(path.c_str());
    if (file == InvalidFile) {
        const int createError = errno;
        // The old file could not be removed (a directory we may not change):
        // empty it instead, so that every run still begins a fresh log.
        file = FileOpenTruncate(path.c_str());
        if (file == InvalidFile && s.logDirectory[0])
            ReportUnwritableLog(path, errno == ENOENT ? createError : errno);
    }
    FileClose(file);
    s.logIndent = 0;
    s.lineOpen = 0;
    echoLineOpen = false;
    s.logStartTime = platform::TimeGetTime();
    return 1;
}

int LogAdd(const char* text)
{
    if (!text)
        return -1;
    SystemState& s = systemState;
    if (s.logDirectory[0] == '\0')
        return -1;
    const size_t length = std::strlen(text);
    const uint32_t now = platform::TimeGetTime();

    // Timestamp, tabs and the text with CR LF line ends go out in one write,
    // built on the stack unless the text is long.
    char stackPiece[2 * FixedBufferSize + 64];
    char* piece = stackPiece;
    char* allocated = nullptr;
    const size_t room = PieceHeadRoom() + 2 * length + 1;
    if (room > sizeof stackPiece) {
        if (room > size_t(INT32_MAX) ||
            !(allocated = static_cast<char*>(MemAlloc(int32_t(room), nullptr, -1))))
            return -1;
        piece = allocated;
    }
    const size_t head = WriteLineHead(piece, s.lineOpen != 0, now);
    const char* const work = piece + head;
    const size_t converted = ConvertLineEnds(text, length, piece + head);
    const bool endsOpen = converted == 0 || work[converted - 1] != '\n';

    char path[PathBufferSize];
    CachedLogFilePath(path);
    int error = 0;
    const FileHandle file = FileOpenAppend(path);
    if (file == InvalidFile) {
        error = errno;
    } else {
        if (!FileWrite(file, piece, head + converted))
            error = errno != 0 ? errno : EIO;
        FileClose(file);
    }
    if (error == 0)
        s.lineOpen = endsOpen ? 1 : 0;
    else
        ReportUnwritableLog(path, error);
    if (EchoWanted()) {
        // The echo's own line state: usually the file's, but not after a lost write.
        std::string echo(PieceHeadRoom(), '\0');
        echo.resize(WriteLineHead(echo.data(), echoLineOpen, now));
        echo.append(work, converted);
        EchoPiece(echo.data(), echo.size());
    }
    echoLineOpen = endsOpen;

    MemFree(allocated);
    return -1;
}

int LogPrintf(const char* format, ...)
{
    char buffer[FormatBufferSize];
    va_list args;
    va_start(args, format);
    FormatLogText(buffer, 0, format, args);
    va_end(args);
    return LogAdd(buffer);
}

int LogPrintfLine(const char* format, ...)
{
    char buffer[FormatBufferSize];
    va_list args;
    va_start(args, format);
    const size_t length = FormatLogText(buffer, 1, format, args);
    va_end(args);
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
    return LogAdd(buffer);
}

int LogIndent()
{
    ++systemState.logIndent;
    return 0;
}

int LogUnindent()
{
    if (systemState.logIndent > 0)
        --systemState.logIndent;
    return 0;
}

void SetLogEcho(bool on)
{
    echoStreams[0] = on ? stderr : nullptr;
}

bool LogEchoEnabled()
{
    return echoStreams[0] != nullptr;
}

void SetLogMirror(FILE* stream)
{
    echoStreams[1] = stream;
}

int ConfigureLogEchoFromCommandLine(int argc, char** argv)
{
    const char* env = std::getenv("KORVANTA_LOG_ECHO");
    bool on = env && std::strcmp(env, "1") == 0;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log-echo") == 0) {
            on = true;
            continue;
        }
        argv[out++] = argv[i];
    }
    if (out < argc)
        argv[out] = nullptr;
    if (on)
        SetLogEcho(true);
    return argc > 0 ? out : argc;
}

bool SetLogLocation(const char* directory, const char* fileName)
{
    SystemState& s = systemState;
    if (!directory || !fileName || std::strlen(directory) >= sizeof s.logDirectory ||
        std::strlen(fileName) >= sizeof s.logFileName || fileName[0] == '\0')
        return false;
    std::strcpy(s.logDirectory, directory);
    std::strcpy(s.logFileName, fileName);
    return true;
}

}  // namespace media
