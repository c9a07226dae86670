// Character-set helpers shared by every part of the media layer, the platform
// layer included; they depend on nothing.
#pragma once

#include <cstdint>

namespace media {

// Character-set numbers.
enum CharsetCode : int32_t {
    CharsetDefault = 0,
    CharsetShiftJis = 1,
    CharsetHangul = 2,
    CharsetBig5 = 3,
    CharsetGb2312 = 4,
};

// True when the byte starts a double-byte character in the given character set.
inline bool IsLeadByte(uint8_t byte, int32_t charset)
{
    if (charset == CharsetHangul || charset == CharsetBig5 || charset == CharsetGb2312)
        return byte >= 0x80;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace media
