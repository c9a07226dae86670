// Window-class claims shared by every process of one user on one desktop.
//
// A claim is an abstract Unix socket bound to a name made of the uid, the
// desktop and the class name. The kernel frees the name when the socket's
// last descriptor closes, so a process that dies (even by SIGKILL) gives its
// claims up without any cleanup of ours.
#pragma once

#include <string>

namespace media::platform {

// Class names compare without regard to ASCII letter case (the trail bytes
// of Shift-JIS characters kept as they are).
std::string ClassNameKey(const std::string& className);

class ClassClaim {
public:
    ClassClaim() = default;
    ClassClaim(const ClassClaim&) = delete;
    ClassClaim& operator=(const ClassClaim&) = delete;
    ClassClaim(ClassClaim&& other) noexcept;
    ClassClaim& operator=(ClassClaim&& other) noexcept;
    ~ClassClaim();

    // Binds the name. False when another process holds it already or the
    // socket cannot be made.
    bool Acquire(const std::string& desktop, const std::string& className);
    void Release();
    bool Held() const { return socket_ >= 0; }

private:
    int socket_ = -1;
};

// True when some process (this one included) holds the claim.
bool ClassClaimed(const std::string& desktop, const std::string& className);

}  // namespace media::platform
