#include "app/battle_stats_files.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Temporary files to remove when an interrupt ends the process; kept in
// fixed storage so that the signal handler only reads memory and unlinks.
constexpr int SlotCount = 4;
struct PendingSlot {
    volatile sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};
PendingSlot pendingSlots[SlotCount];
const int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemovePendingAndDie(int signal)
{
    for (PendingSlot& slot : pendingSlots) {
        if (slot.used)
            unlink(slot.path);
    }
    ::signal(signal, SIG_DFL);
    raise(signal);
}

int RegisterPending(const std::string& path)
{
    static bool handlersInstalled = false;
    if (!handlersInstalled) {
        for (int signal : EndingSignals) {
            struct sigaction action {};
            struct sigaction previous {};
            sigaction(signal, nullptr, &previous);
            if (previous.sa_handler == SIG_IGN)
                continue;  // an ignored interrupt stays ignored (nohup, background jobs)
            action.sa_handler = RemovePendingAndDie;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
        handlersInstalled = true;
    }
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < SlotCount; ++i) {
        if (!pendingSlots[i].used) {
            std::memcpy(pendingSlots[i].path, path.c_str(), path.size() + 1);
            pendingSlots[i].used = 1;
            return i;
        }
    }
    return -1;
}

void UnregisterPending(int slot)
{
    if (slot >= 0)
        pendingSlots[slot].used = 0;
}

// The permissions a newly created file would get (mkstemp makes 0600).
mode_t NewFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

OutputFile::~OutputFile()
{
    Discard();
}

void OutputFile::Discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    UnregisterPending(pendingSlot_);
    pendingSlot_ = -1;
}

bool OutputFile::Open(const std::string& path, std::string* error)
{
    Discard();
    path_ = path;
    released_ = false;
    writeFailed_ = false;
    direct_ = false;
    target_ = path;
    if (path.empty() || path.back() == '/') {
        *error = "'" + path + "' does not name a file";
        return false;
    }
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        *error = "'" + path + "' is a directory";
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device, pipe or FIFO (/dev/stdout, >(gzip >rows.gz)) is written
        // as it is: renaming a file onto it would replace the device itself.
        direct_ = true;
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_) {
            *error = "cannot write '" + path + "': " + std::strerror(errno);
            return false;
        }
        return true;
    }
    struct stat link {};
    char resolved[PATH_MAX];
    if (exists && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && realpath(path.c_str(), resolved))
        target_ = resolved;  // the file the link names is replaced, the link stays
    const size_t slash = target_.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = directory + "." + name + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        *error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    fchmod(fd, NewFileMode());
    temporary_ = pattern;
    pendingSlot_ = RegisterPending(temporary_);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        *error = "cannot write '" + path + "': " + std::strerror(errno);
        Discard();
        return false;
    }
    return true;
}

bool OutputFile::Write(const std::string& text)
{
    if (!file_ || writeFailed_)
        return false;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        writeFailed_ = true;
        writeErrno_ = errno;
    }
    return !writeFailed_;
}

const std::string& OutputFile::ReleaseTemporaryPath()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    released_ = true;
    return direct_ ? path_ : temporary_;
}

bool OutputFile::Commit(std::string* error)
{
    if (temporary_.empty() && !direct_) {
        *error = "cannot write '" + path_ + "'";
        return false;
    }
    if (file_) {
        const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
        if (!flushed && !writeFailed_) {
            writeFailed_ = true;
            writeErrno_ = errno;
        }
        if (std::fclose(file_) != 0 && !writeFailed_) {
            writeFailed_ = true;
            writeErrno_ = errno;
        }
        file_ = nullptr;
    }
    if (writeFailed_) {
        *error = "cannot write '" + path_ + "': " + std::strerror(writeErrno_);
        Discard();
        return false;
    }
    if (direct_) {
        direct_ = false;
        return true;
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        *error = "cannot write '" + path_ + "': " + std::strerror(errno);
        Discard();
        return false;
    }
    temporary_.clear();
    UnregisterPending(pendingSlot_);
    pendingSlot_ = -1;
    return true;
}

void RestoreDefaultInterruptHandling()
{
    for (PendingSlot& slot : pendingSlots)
        slot.used = 0;
    for (int signal : EndingSignals) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == RemovePendingAndDie)
            ::signal(signal, SIG_DFL);
    }
}
