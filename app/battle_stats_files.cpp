#include "app/battle_stats_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

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
    return true;
}
