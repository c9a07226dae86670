// The operating-system line of the system report: the version name made
// from what the system's version query gives.
#pragma once

#include <cstdint>
#include <string>

namespace media {

// The fields of the version query that the report reads.
struct OsVersionQuery {
    uint32_t platformId = 0;  // 0 Windows 3.1, 1 Windows 95/98/Me, 2 NT; anything else names no known system
    uint32_t major = 0, minor = 0;
    uint32_t build = 0;
    std::string servicePack;
};

// "Windows" and the suffix of the known version, e.g. "Windows98SE" or
// "WindowsXP"; sets *versionCode for a known version and leaves it alone
// otherwise (the name is then "Windows" alone).
std::string OsVersionName(const OsVersionQuery& query, int32_t* versionCode);

}  // namespace media
