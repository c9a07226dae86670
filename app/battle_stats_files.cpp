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
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        *error = "'" + path + "' does not name a file";
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *error = "'" + path + "' is a directory";
        return false;
    }
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
    return temporary_;
}

bool OutputFile::Commit(std::string* error)
{
    if (temporary_.empty()) {
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
    if (rename(temporary_.c_str(), path_.c_str()) != 0) {
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
