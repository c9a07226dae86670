// Output files that appear under their names only when complete: the text is
// written to a temporary file beside the target and renamed over it at the
// end, so a failed or interrupted run never leaves a partial file there. An
// interrupt (SIGINT, SIGTERM, SIGHUP) removes the temporary files too. A
// name that is a link has the file it names replaced; one that is a device,
// pipe or FIFO (/dev/stdout) is written in place.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // removes the temporary file unless committed

    // Creates the temporary file now, so that a place that cannot be written
    // is found before any work is done.
    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const { return file_ != nullptr; }

    bool Write(const std::string& text);
    // For writers that open files by name: the temporary file is closed and
    // its path handed out; Commit then renames whatever was written there.
    const std::string& ReleaseTemporaryPath();

    // Flushes, closes and renames onto the target.
    bool Commit(std::string* error);

    const std::string& path() const { return path_; }

private:
    void Discard();

    std::string path_;
    std::string target_;     // what the temporary file is renamed onto: path_, or the file its link names
    bool direct_ = false;    // path_ is no regular file: written in place
    std::string temporary_;
    FILE* file_ = nullptr;
    bool released_ = false;
    bool writeFailed_ = false;
    int writeErrno_ = 0;
    int pendingSlot_ = -1;  // where an interrupt finds the temporary file
};

// For forked children: an interrupt there must not remove the parent's files.
void RestoreDefaultInterruptHandling();
