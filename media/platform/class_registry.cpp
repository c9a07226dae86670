#include "media/platform/class_registry.h"

#include "media/base/charset.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace media::platform {

std::string ClassNameKey(const std::string& className)
{
    std::string key = className;
    for (size_t i = 0; i < key.size(); ++i) {
        const uint8_t byte = uint8_t(key[i]);
        if (IsLeadByte(byte, CharsetShiftJis) && i + 1 < key.size()) {
            ++i;  // the trail byte may look like a letter: leave it
            continue;
        }
        if (byte >= 'A' && byte <= 'Z')
            key[i] = char(byte - 'A' + 'a');
    }
    return key;
}

namespace {

uint64_t Fnv1a(const std::string& text, uint64_t seed)
{
    uint64_t hash = seed;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// The abstract socket address: a leading NUL, then the readable name, or a
// digest of it when it would not fit.
socklen_t ClaimAddress(const std::string& desktop, const std::string& className, sockaddr_un* address)
{
    std::string name = "korvanta-class/" + std::to_string(getuid()) + "/" + desktop + "/";
    for (unsigned char c : ClassNameKey(className)) {
        if (c >= 0x21 && c < 0x7F && c != '%') {
            name += char(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            name += escaped;
        }
    }
    const size_t room = sizeof address->sun_path - 1;
    if (name.size() > room) {
        char digest[40];
        std::snprintf(digest, sizeof digest, "%016llx%016llx", (unsigned long long)Fnv1a(name, 0xCBF29CE484222325ull),
                      (unsigned long long)Fnv1a(name, 0x84222325CBF29CE4ull));
        name = "korvanta-class/" + std::to_string(getuid()) + "/#" + digest;
    }
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path + 1, name.data(), name.size());
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

}  // namespace

ClassClaim::ClassClaim(ClassClaim&& other) noexcept : socket_(other.socket_)
{
    other.socket_ = -1;
}

ClassClaim& ClassClaim::operator=(ClassClaim&& other) noexcept
{
    if (this != &other) {
        Release();
        socket_ = other.socket_;
        other.socket_ = -1;
    }
    return *this;
}

ClassClaim::~ClassClaim()
{
    Release();
}

bool ClassClaim::Acquire(const std::string& desktop, const std::string& className)
{
    Release();
    sockaddr_un address;
    const socklen_t length = ClaimAddress(desktop, className, &address);
    // Close-on-exec: a program we start must not keep our claim alive.
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        close(fd);
        return false;
    }
    socket_ = fd;
    return true;
}

void ClassClaim::Release()
{
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
}

bool ClassClaimed(const std::string& desktop, const std::string& className)
{
    sockaddr_un address;
    const socklen_t length = ClaimAddress(desktop, className, &address);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A datagram connect only checks that the name is bound; nothing is sent.
    const bool bound = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    close(fd);
    return bound;
}

}  // namespace media::platform
