// The memory path's still-screen record: the frame last presented (kept as a
// copy of its rows) and what the screen is known to hold since its last clear
// of the whole screen. A still screen is shown again after a compare against
// the kept frame, which costs far less than widening the pixels and copying
// them into the window; the boxes drawn since the clear narrow both that
// compare and the next clear.
#pragma once

#include <cstdint>

#include "media/graphics/mem_image.h"
#include "media/platform/platform.h"

namespace media {

// Drops both, memory included: a new screen or device starts from a full
// present.
void ForgetKeptFrame();
// The screen's pixels may be anything from now on: they were handed out.
void ForgetScreenContents();
// A write into the screen inside box (screen coordinates, inside it).
void NoteScreenWrite(const platform::Rect& box);
// Clears the whole screen with the pixel word: only the boxes drawn since its
// last clear when that clear used the same word.
void ClearWholeScreen(MEMIMG* screen, uint32_t word);
// True when the screen's pixels and the way they are shown are those of the
// frame last presented. Otherwise they become the kept frame, not yet shown.
bool SameAsPresented(const MEMIMG& screen, platform::WindowHandle window, const platform::BitmapDescription& bitmap,
                     const platform::Rect& source, const platform::Rect& destination);
// Whether the window got the kept frame.
void SetKeptFrameShown(bool shown);

}  // namespace media
