// The headless backend's view for tests and tools: the presented frames and
// the input script.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace media::platform::headless {

// The headless desktop.
constexpr int32_t DesktopWidth = 1024;
constexpr int32_t DesktopHeight = 768;

// Frames presented since the backend was selected (PresentBitmap and
// PresentSameFrame calls; repaints are shown in the last frame but not
// counted).
uint64_t FrameCount();
// The presented frames whose pixels were written into a window: FrameCount
// without the frames that showed again what the window held.
uint64_t WrittenFrameCount();

// A presented frame: 0x00RRGGBB pixels, top row first, as the window showed
// them (16-bit colours widened by bit replication).
struct Frame {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
// False when nothing was presented yet.
bool LastFrame(Frame* frame);

// Replaces the script being played by one read from text (the same language
// as the script file). On a bad line nothing changes and *error names it.
bool LoadScript(const std::string& text, std::string* error);
// True when the script has run to its end (or there is none).
bool ScriptFinished();

// A display that changes mode without telling its windows: no
// WM_DISPLAYCHANGE follows a mode switch while this is on.
void SilenceDisplayChanges(bool silent);

// Writes the last presented frame as a PNG file.
bool WriteScreenshot(const std::string& path, std::string* error);

}  // namespace media::platform::headless
