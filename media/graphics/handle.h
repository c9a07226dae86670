// The handle layout shared by every handle kind of the media layer.
//
// A handle is a non-negative 32-bit integer: bits 27..30 the kind, bits
// 16..26 a check number, bits 0..15 the slot. A deleted handle stops being
// valid because its slot is emptied; a new occupant of the same slot carries a
// different check number, so stale copies are refused.
#pragma once

#include <cstdint>

namespace media {

constexpr int32_t HandleKindImage = 1;
constexpr int32_t HandleKindFont = 4;

constexpr int32_t HandleKindShift = 27;
constexpr int32_t HandleKindMask = 0x78000000;
constexpr int32_t HandleCheckShift = 16;
constexpr int32_t HandleCheckMask = 0x07FF0000;
constexpr int32_t HandleSlotMask = 0x0000FFFF;
constexpr int32_t HandleCheckLimit = 2048;  // check numbers run 0..2047, then wrap

constexpr int32_t MakeHandle(int32_t kind, int32_t check, int32_t slot)
{
    return (kind << HandleKindShift) | ((check & (HandleCheckLimit - 1)) << HandleCheckShift) | (slot & HandleSlotMask);
}

constexpr int32_t HandleKind(int32_t handle) { return (handle & HandleKindMask) >> HandleKindShift; }
constexpr int32_t HandleCheck(int32_t handle) { return (handle & HandleCheckMask) >> HandleCheckShift; }
constexpr int32_t HandleSlot(int32_t handle) { return handle & HandleSlotMask; }

// The kind, slot range and sign part of validation; the caller still compares
// the slot's occupant and its check number.
constexpr bool HandleShapeValid(int32_t handle, int32_t kind, int32_t slotCount)
{
    return handle >= 0 && HandleKind(handle) == kind && HandleSlot(handle) < slotCount;
}

// Advances a per-kind check counter: 0..2047, then 0 again.
inline int32_t TakeCheckNumber(int32_t& counter)
{
    const int32_t check = counter;
    counter = (counter + 1) & (HandleCheckLimit - 1);
    return check;
}

}  // namespace media
