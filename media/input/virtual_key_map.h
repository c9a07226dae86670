// The window system's virtual keys and the key codes they fill when the key
// table is read from the keyboard state. Only these keys ever read as down
// there; the main Enter key fills both Enter codes.
#pragma once

#include <cstdint>

namespace media {

struct VirtualKeyRow {
    uint8_t virtualKey;
    uint8_t keyCode;
};

inline constexpr VirtualKeyRow VirtualKeyMap[] = {
    // Letters.
    {0x41, 30}, {0x42, 48}, {0x43, 46}, {0x44, 32}, {0x45, 18}, {0x46, 33}, {0x47, 34},
    {0x48, 35}, {0x49, 23}, {0x4A, 36}, {0x4B, 37}, {0x4C, 38}, {0x4D, 50}, {0x4E, 49},
    {0x4F, 24}, {0x50, 25}, {0x51, 16}, {0x52, 19}, {0x53, 31}, {0x54, 20}, {0x55, 22},
    {0x56, 47}, {0x57, 17}, {0x58, 45}, {0x59, 21}, {0x5A, 44},
    // Digits of the main block.
    {0x30, 11}, {0x31, 2}, {0x32, 3}, {0x33, 4}, {0x34, 5},
    {0x35, 6}, {0x36, 7}, {0x37, 8}, {0x38, 9}, {0x39, 10},
    // Cursor keys.
    {0x25, 203}, {0x26, 200}, {0x27, 205}, {0x28, 208},
    // Punctuation keys of the Japanese layout.
    {0xBB, 39}, {0xBA, 146}, {0xDB, 26}, {0xDD, 27}, {0xC0, 145}, {0xE2, 43},
    {0xBC, 51}, {0xBD, 12}, {0xDC, 125}, {0xBE, 52}, {0xBF, 53},
    // Editing and control keys.
    {0x2E, 211}, {0x1B, 1}, {0x20, 57}, {0x08, 14}, {0x09, 15}, {0x0D, 28},
    // Numeric pad; its Enter is the same virtual key as the main one.
    {0x60, 82}, {0x61, 79}, {0x62, 80}, {0x63, 81}, {0x64, 75}, {0x65, 76}, {0x66, 77},
    {0x67, 71}, {0x68, 72}, {0x69, 73}, {0x6A, 55}, {0x6B, 78}, {0x6D, 74}, {0x6E, 83},
    {0x6F, 181}, {0x0D, 156},
    // Modifiers.
    {0xA0, 42}, {0xA1, 54}, {0xA2, 29}, {0xA3, 157}, {0xA4, 56}, {0xA5, 184},
    // Navigation.
    {0x21, 201}, {0x22, 209}, {0x23, 207}, {0x24, 199}, {0x2D, 210},
    // Locks and others.
    {0x91, 70}, {0x14, 58}, {0x13, 197},
    // Function keys.
    {0x70, 59}, {0x71, 60}, {0x72, 61}, {0x73, 62}, {0x74, 63}, {0x75, 64},
    {0x76, 65}, {0x77, 66}, {0x78, 67}, {0x79, 68}, {0x7A, 87}, {0x7B, 88},
};

static_assert(sizeof VirtualKeyMap / sizeof VirtualKeyMap[0] == 99, "the map has 99 rows");

}  // namespace media
