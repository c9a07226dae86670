#include "media/graphics/screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "media/graphics/device_setup.h"
#include "media/graphics/draw.h"
#include "media/graphics/gl_device.h"
#include "media/graphics/gl_image.h"
#include "media/graphics/gl_renderer.h"
#include "media/graphics/gl_screen.h"
#include "media/graphics/graphics_hooks.h"
#include "media/graphics/image_table.h"
#include "media/graphics/kept_frame.h"
#include "media/input/input.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/core/roof_calls.h"
#include "media/core/system_state.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace media {

DisplaySettings displaySettings;

int (*InitFontSystemHook)() = nullptr;
int (*EndFontSystemHook)() = nullptr;
void (*SaveDefaultFontHook)() = nullptr;
void (*RestoreDefaultFontHook)() = nullptr;
int (*RecreateFontsHook)() = nullptr;
int (*ReloadImagesHook)() = nullptr;

namespace {

constexpr uint32_t FrontScreenTimerPeriod = 32;  // milliseconds

MEMIMG screenImage;
// Full screen on the hardware path: a failed sub back buffer is tried once.
bool subBackBufferFailed = false;

struct ScreenMode {
    int width, height, depth, refresh;
    bool emulate320x240;
    bool operator==(const ScreenMode&) const = default;
};

ScreenMode ModeInForce()
{
    const DisplaySettings& d = displaySettings;
    return ScreenMode{d.width, d.height, d.depth, d.refresh, d.emulate320x240};
}

void StoreMode(const ScreenMode& mode)
{
    DisplaySettings& d = displaySettings;
    d.width = mode.width;
    d.height = mode.height;
    d.depth = mode.depth;
    d.refresh = mode.refresh;
    d.emulate320x240 = mode.emulate320x240;
}

bool IsScreenTarget(int target)
{
    return target == ScreenBack || target == ScreenFront || target == -3 || target == -5;
}

// The size of a draw target; false for anything that cannot be drawn into.
bool TargetSize(int target, int* width, int* height)
{
    if (!displaySettings.started)
        return false;
    if (IsScreenTarget(target)) {
        *width = displaySettings.width;
        *height = displaySettings.height;
        return true;
    }
    const ImageEntry* entry = FindImage(target);
    if (!entry || !entry->body || !entry->body->drawable)
        return false;
    *width = entry->width;
    *height = entry->height;
    return true;
}

bool TargetPixels(int target, PixelRegion* region)
{
    if (!displaySettings.started)
        return false;
    if (IsScreenTarget(target)) {
        if (!MemImageValid(&screenImage))
            return false;
        *region = WholeRegion(&screenImage);
        return true;
    }
    const ImageEntry* entry = FindImage(target);
    if (!entry || !entry->body || !entry->body->drawable)
        return false;
    return GetImagePixels(target, region);
}

// The framebuffer of a draw target on the hardware path and the target's
// place in it; 0 when it has none. An image derived from a drawable image
// draws into its body's framebuffer at its own offset.
GLuint TargetFramebuffer(int target, GlTargetPlace* place)
{
    if (IsScreenTarget(target)) {
        *place = GlTargetPlace{0, 0, displaySettings.height};
        return GlScreenFramebuffer();
    }
    const ImageEntry* entry = FindImage(target);
    if (!entry || !entry->body || !entry->body->drawable)
        return 0;
    *place = GlTargetPlace{entry->offsetX, entry->offsetY, entry->body->height};
    return ImageFramebuffer(entry);
}

// The hardware path's scissor for the draw area of the current target.
void ApplyClipArea()
{
    DrawArea area;
    if (displaySettings.hardwarePath && CurrentTargetArea(&area))
        GlSetClipArea(area);
}

double SizeRate(double rate)
{
    return rate > 0 ? rate : 1.0;
}

bool IsScreenPixels(const PixelRegion& region)
{
    return MemImageValid(&screenImage) && region.pixels == screenImage.pixels &&
           region.width == screenImage.width && region.height == screenImage.height;
}

// The software presentation: the screen as a top-down bitmap, copied or
// stretched into the window's client area.
// repaint: a window repaint of the area dirty (client coordinates; null =
// all), not a new frame.
int PresentSoftwareScreen(bool repaint = false, const platform::Rect* dirty = nullptr)
{
    if (!MemImageValid(&screenImage))
        return 0;
    const DisplaySettings& d = displaySettings;
    if (d.waitVSync)
        WaitVerticalBlank();

    platform::BitmapDescription bitmap;
    bitmap.width = screenImage.width;
    bitmap.height = screenImage.height;
    bitmap.bitsPerPixel = screenImage.format.bitDepth;
    bitmap.pitch = screenImage.pitch;
    bitmap.redMask = screenImage.format.redMask;
    bitmap.greenMask = screenImage.format.greenMask;
    bitmap.blueMask = screenImage.format.blueMask;

    const bool emulating = d.emulate320x240 && d.width == 640 && d.height == 480;
    platform::Rect source{0, 0, d.width, d.height};
    if (emulating)
        source = platform::Rect{0, 0, 320, 240};
    platform::Rect destination{0, 0, d.width, d.height};
    if (systemState.windowed) {
        if (emulating)
            destination = platform::Rect{0, 0, 640, 480};
        else
            destination = platform::Rect{0, 0, int32_t(d.width * SizeRate(systemState.windowSizeRateX)),
                                         int32_t(d.height * SizeRate(systemState.windowSizeRateY))};
    }
    const bool copied = source.right - source.left == destination.right - destination.left &&
                        source.bottom - source.top == destination.bottom - destination.top;
    if (dirty && copied) {
        // Unstretched: only the area to repaint is copied.
        destination = platform::Rect{std::max(destination.left, dirty->left), std::max(destination.top, dirty->top),
                                     std::min(destination.right, dirty->right),
                                     std::min(destination.bottom, dirty->bottom)};
        if (destination.right <= destination.left || destination.bottom <= destination.top)
            return 0;
        source = destination;
    }
    // A window that cannot be drawn to just misses this frame.
    const platform::WindowHandle window = systemState.mainWindow;
    if (repaint) {
        platform::RepaintBitmap(window, screenImage.pixels, bitmap, source, destination);
        return 0;
    }
    // A still screen is still a presented frame; the window keeps showing
    // it unless something has touched the window since.
    if (SameAsPresented(screenImage, window, bitmap, source, destination) && platform::PresentSameFrame(window))
        return 0;
    SetKeptFrameShown(platform::PresentBitmap(window, screenImage.pixels, bitmap, source, destination));
    return 0;
}

// The background colour as a pixel word of the format.
uint32_t ClearWord(const ColorFormat& format)
{
    const DisplaySettings& d = displaySettings;
    const Rgba background{uint8_t(d.background[0]), uint8_t(d.background[1]), uint8_t(d.background[2]), 255};
    if (format.usesPalette) {
        uint8_t index;
        WritePixel(format, &index, background);
        return index;
    }
    return EncodeColor(format, background);
}

// Fills the region with the background colour.
void ClearRegion(const PixelRegion& region)
{
    FillRegion(region, ClearWord(*region.format));
}

void ArmFrontScreenTimer()
{
    if (systemState.mainWindow)
        platform::SetTimer(systemState.mainWindow, FrontScreenTimerId, FrontScreenTimerPeriod);
}

}  // namespace

// ------------------------------------------------------------ queries

int ScreenWidth() { return displaySettings.width; }
int ScreenHeight() { return displaySettings.height; }
int ScreenDepth() { return displaySettings.depth; }
bool GraphicsStarted() { return displaySettings.started; }
int CurrentDrawTarget() { return displaySettings.drawTarget; }

MEMIMG* ScreenImage()
{
    // Whoever takes the pixels may write them unnoted.
    ForgetScreenContents();
    return MemImageValid(&screenImage) ? &screenImage : nullptr;
}

void NoteScreenDrawn(const PixelRegion& target, const Box& box)
{
    if (!IsScreenPixels(target))
        return;
    const Box inside = Intersect(box, Box{0, 0, target.width, target.height});
    if (inside.Empty())
        return;
    NoteScreenWrite(
        platform::Rect{int32_t(inside.left), int32_t(inside.top), int32_t(inside.right), int32_t(inside.bottom)});
}

bool CurrentDrawSurface(PixelRegion* target, DrawArea* area, bool noteArea)
{
    const DisplaySettings& d = displaySettings;
    // The hardware path's targets live on the device.
    if (d.hardwarePath || !TargetPixels(d.drawTarget, target))
        return false;
    DrawArea a = d.drawArea;
    a.left = std::clamp(a.left, 0, target->width);
    a.right = std::clamp(a.right, a.left, target->width);
    a.top = std::clamp(a.top, 0, target->height);
    a.bottom = std::clamp(a.bottom, a.top, target->height);
    if (d.drawAreaEmpty)
        a.right = a.left;
    *area = a;
    if (noteArea)
        NoteScreenDrawn(*target, Box{a.left, a.top, a.right, a.bottom});
    return true;
}

bool ReadTargetWords(int target, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t* words)
{
    if (displaySettings.hardwarePath) {
        int targetWidth, targetHeight;
        GlTargetPlace place;
        const GLuint framebuffer = TargetFramebuffer(target, &place);
        if (!words || !framebuffer || !TargetSize(target, &targetWidth, &targetHeight))
            return false;
        if (x < 0 || y < 0 || width < 0 || height < 0 || x > targetWidth - width || y > targetHeight - height)
            return false;
        // 8-bit channels from the device, truncated into the target's own
        // format: exact for every channel of 8 bits or fewer.
        const ImageEntry* entry = IsScreenTarget(target) ? nullptr : FindImage(target);
        const ColorFormat& format = !entry                               ? ScreenColorFormat()
                                    : MemImageValid(&entry->body->image) ? entry->body->image.format
                                                                         : ImageColorFormat(entry->body->hasAlpha);
        std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 4);
        if (!GlReadFramebufferBytes(framebuffer, place.framebufferHeight, place.originX + x, place.originY + y, width,
                                    height, bytes.data()))
            return false;
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
            const uint8_t* p = &bytes[i * 4];
            words[i] = EncodeColor(format, Rgba{p[0], p[1], p[2], p[3]});
        }
        return true;
    }
    PixelRegion region;
    if (!words || !TargetPixels(target, &region))
        return false;
    if (x < 0 || y < 0 || width < 0 || height < 0 || x > region.width - width || y > region.height - height)
        return false;
    const int bytes = region.format->bytesPerPixel;
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* p = region.At(x, y + row);
        for (int32_t i = 0; i < width; ++i)
            *words++ = LoadPixelWord(p + int64_t(i) * bytes, bytes);
    }
    return true;
}

bool CurrentTargetArea(DrawArea* area)
{
    const DisplaySettings& d = displaySettings;
    int width, height;
    if (!TargetSize(d.drawTarget, &width, &height))
        return false;
    DrawArea a = d.drawArea;
    a.left = std::clamp(a.left, 0, width);
    a.right = std::clamp(a.right, a.left, width);
    a.top = std::clamp(a.top, 0, height);
    a.bottom = std::clamp(a.bottom, a.top, height);
    if (d.drawAreaEmpty)
        a.right = a.left;
    *area = a;
    return true;
}

// ------------------------------------------------------------ mode

int SetScreenMode(int width, int height, int depth, int refresh)
{
    // Negative sizes are refused like 0: no screen can have them.
    if (width <= 0 || height <= 0 || (depth != 8 && depth != 16 && depth != 32))
        return -1;
    DisplaySettings& d = displaySettings;
    if (!systemState.initialised) {
        d.width = width;
        d.height = height;
        d.depth = depth;
        d.refresh = refresh;
        return 0;
    }
    const ScreenMode before = ModeInForce();
    ChangeScreenMode(width, height, depth, 0, refresh);
    const ScreenMode now = ModeInForce();
    if (now.width == width && now.height == height && now.depth == depth && now.refresh == refresh)
        return 0;
    const bool moved = now.width != before.width || now.height != before.height || now.depth != before.depth ||
                       now.refresh != before.refresh;
    if (moved && now.width == 640 && now.height == 480 && now.depth == 16 && now.refresh == 0)
        return -2;
    return -1;
}

int StartGraphics()
{
    DisplaySettings& d = displaySettings;
    if (d.started)
        return 0;

    ResetImageTable();

    if (d.width == 0)
        d.width = 640;
    if (d.height == 0)
        d.height = 480;
    if (d.depth == 0)
        d.depth = 16;
    if (!systemState.windowed && d.width == 320 && d.height == 240) {
        d.emulate320x240 = true;
        d.width = 640;
        d.height = 480;
    }

    if (SetupGraphicsDevice() == -1) {
        EndGraphics();
        ReleaseGraphicsDevice();
        return -1;
    }

    d.started = true;
    subBackBufferFailed = false;
    ForgetKeptFrame();
    if (d.hardwarePath && !StartGlRenderer()) {
        // Without the renderer's buffers the device is of no use: the memory
        // path takes over, at the depth that was asked for.
        AbandonGlDevice();
        d.hardwarePath = false;
    }
    if (!d.hardwarePath) {
        if (!CreateMemImage(&screenImage, d.width, d.height, ScreenColorFormat()))
            AbortMediaLibrary("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
        ClearRegion(WholeRegion(&screenImage));
    }
    ResetDrawState();

    SetDrawTarget(ScreenFront);
    SetDrawRegion(0, 0, d.width, d.height);
    if (InitFontSystemHook)
        InitFontSystemHook();
    return 0;
}

int EndGraphics()
{
    DisplaySettings& d = displaySettings;
    if (EndFontSystemHook)
        EndFontSystemHook();
    if (!d.started)
        return 0;
    DeleteAllImages();
    if (systemState.mainWindow)
        platform::KillTimer(systemState.mainWindow, FrontScreenTimerId);
    if (d.displayModeSwitched) {
        platform::ChangeDisplayMode(nullptr);
        d.displayModeSwitched = false;
    }
    EndGlRenderer();
    ReleaseGraphicsDevice();
    ReleaseMemImage(&screenImage);
    ForgetKeptFrame();
    d.started = false;
    return 0;
}

int ChangeScreenMode(int width, int height, int depth, int force, int refresh)
{
    DisplaySettings& d = displaySettings;
    const ScreenMode previous = ModeInForce();
    const int target = d.drawTarget;  // StartGraphics selects the front screen

    ScreenMode wanted{width == -1 ? d.width : width, height == -1 ? d.height : height,
                      depth == -1 ? d.depth : depth, refresh == -1 ? d.refresh : refresh, false};
    const bool windowed = systemState.windowed != 0;
    if (!windowed && wanted.width == 320 && wanted.height == 240) {
        wanted.emulate320x240 = true;
        wanted.width = 640;
        wanted.height = 480;
    } else if (windowed && force && d.emulate320x240 && wanted.width == 640 && wanted.height == 480) {
        wanted.width = 320;
        wanted.height = 240;
    } else if (!windowed && d.emulate320x240 && width == -1 && height == -1) {
        // Keeping the current size keeps the doubled 320 x 240 screen too.
        wanted.emulate320x240 = true;
    }

    if (!force && wanted == previous)
        return 0;

    LogAdd("画面モード変更処理を開始します\n");
    LogIndent();
    const bool fontSaved = d.started && SaveDefaultFontHook;
    if (fontSaved)
        SaveDefaultFontHook();

    if (d.started)
        EndGraphics();
    StoreMode(wanted);
    if (StartGraphics() != 0) {
        bool started = false;
        if (wanted.width == 320 && wanted.height == 240) {
            StoreMode(ScreenMode{640, 480, wanted.depth, wanted.refresh, true});
            started = StartGraphics() == 0;
        }
        if (!started) {
            StoreMode(previous);
            started = StartGraphics() == 0;
        }
        if (!started) {
            StoreMode(ScreenMode{640, 480, 16, 0, false});
            started = StartGraphics() == 0;
        }
        if (!started)
            AbortMediaLibrary("予期せぬ画面モード変更不能現象が起きました2\n");
    }

    if (systemState.windowed)
        ApplyWindowStyle();
    if (fontSaved && RestoreDefaultFontHook)
        RestoreDefaultFontHook();
    LogUnindent();
    LogAdd("画面モード変更処理は正常に終了しました\n");
    ProcessWindowMessages();
    SetDrawTarget(target);
    return 0;
}

void ReleaseDeviceBeforeWindowGoes()
{
    // Every GL object lives in the main window's context, which goes with
    // the window: released now, in order, while it is still current.
    if (!displaySettings.hardwarePath || !GlContextAlive())
        return;
    ReleaseAllImageTextures();
    EndGlRenderer();
    ReleaseGlDevice();
}

void RestoreGraphics()
{
    DisplaySettings& d = displaySettings;
    if (!d.started)
        return;
    const bool hardware = d.hardwarePath;
    // The device goes with every GL object; image handles, their bodies and
    // memory copies stay. Software images live in memory and survive: only
    // the platform side is made again (in full screen that switches the
    // display mode back).
    if (hardware) {
        ReleaseAllImageTextures();
        EndGlRenderer();
    }
    ReleaseGraphicsDevice();
    EndInput();
    SetupGraphicsDevice();
    subBackBufferFailed = false;
    ForgetKeptFrame();
    if (d.hardwarePath && !StartGlRenderer()) {
        AbandonGlDevice();
        d.hardwarePath = false;
    }
    if (!d.hardwarePath) {
        // The device could not be made again: the memory path takes over,
        // with a screen of its own, the images' memory copies refilled from
        // their files and fonts with memory caches.
        if (!MemImageValid(&screenImage)) {
            if (!CreateMemImage(&screenImage, d.width, d.height, ScreenColorFormat()))
                AbortMediaLibrary("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
            ClearRegion(WholeRegion(&screenImage));
        }
        if (hardware && ReloadImagesHook)
            ReloadImagesHook();
        if (hardware && RecreateFontsHook)
            RecreateFontsHook();
        return;
    }

    RecreateAllImageTextures();  // drawable images come back empty
    const int target = d.drawTarget;
    const DrawArea area = d.drawArea;
    SetDrawTarget(ScreenBack);
    SetDrawRegion(0, 0, d.width, d.height);
    // Twice, so that neither buffer of the window shows what was there
    // before the loss.
    for (int i = 0; i < 2; ++i) {
        ClearDrawTarget(nullptr);
        PresentScreen();
    }
    if (SetDrawTarget(target) == 0)
        SetDrawRegion(area.left, area.top, area.right, area.bottom);
    else
        SetDrawTarget(ScreenBack);
    if (ReloadImagesHook)
        ReloadImagesHook();  // images refilled from their files
    if (RecreateFontsHook)
        RecreateFontsHook();  // under their old handles, texture caches empty
}

// ------------------------------------------------------------ target and area

int SetDrawTarget(int target)
{
    DisplaySettings& d = displaySettings;
    if (!d.started)
        return -1;
    WaitWhileInactive();
    int width, height;
    if (!TargetSize(target, &width, &height))
        return -1;
    int oldWidth = 0, oldHeight = 0;
    const bool hadTarget = TargetSize(d.drawTarget, &oldWidth, &oldHeight);
    if (d.hardwarePath) {
        GlTargetPlace place;
        const GLuint framebuffer = TargetFramebuffer(target, &place);
        if (!framebuffer)
            return -1;
        GlSetRenderTarget(framebuffer, width, height, place);
    }
    d.drawTarget = target;
    if (target == ScreenFront)
        ArmFrontScreenTimer();
    if (!hadTarget || oldWidth != width || oldHeight != height)
        SetDrawRegion(0, 0, width, height);
    else
        SetDrawRegion(d.drawArea.left, d.drawArea.top, d.drawArea.right, d.drawArea.bottom);
    return 0;
}

int SetDrawRegion(int left, int top, int right, int bottom)
{
    DisplaySettings& d = displaySettings;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    int width, height;
    if (!TargetSize(d.drawTarget, &width, &height))
        return -1;
    d.drawArea.left = std::clamp(left, 0, width);
    d.drawArea.right = std::clamp(right, 0, width);
    d.drawArea.top = std::clamp(top, 0, height);
    d.drawArea.bottom = std::clamp(bottom, 0, height);
    d.drawAreaEmpty = d.drawArea.left == d.drawArea.right || d.drawArea.top == d.drawArea.bottom;
    ApplyClipArea();
    return 0;
}

int ClearDrawTarget(const int* rect)
{
    const DisplaySettings& d = displaySettings;
    PixelRegion target;
    const int targetId = d.drawTarget == 0 ? ScreenBack : d.drawTarget;
    if (d.hardwarePath) {
        int width, height;
        if (!d.started || !TargetSize(targetId, &width, &height))
            return 0;
        int left = 0, top = 0, right = width, bottom = height;
        if (rect && rect[0] >= 0 && rect[1] >= 0) {
            left = std::min(rect[0], width);
            top = std::min(rect[1], height);
            right = std::clamp(rect[2], left, width);
            bottom = std::clamp(rect[3], top, height);
        }
        GlClearRect(left, top, right, bottom, uint8_t(d.background[0]), uint8_t(d.background[1]),
                    uint8_t(d.background[2]));
        return 0;
    }
    if (!TargetPixels(targetId, &target))
        return 0;
    const PixelRegion whole = target;
    Box cleared{0, 0, target.width, target.height};
    if (rect && rect[0] >= 0 && rect[1] >= 0) {
        // A rectangle reaching beyond the target is cut to it.
        const int left = std::min(rect[0], target.width), top = std::min(rect[1], target.height);
        const int right = std::clamp(rect[2], left, target.width);
        const int bottom = std::clamp(rect[3], top, target.height);
        PixelRegion part = target;
        part.pixels = target.At(left, top);
        part.width = right - left;
        part.height = bottom - top;
        target = part;
        cleared = Box{left, top, right, bottom};
    }
    const bool wholeScreen = IsScreenPixels(whole) && cleared.left == 0 && cleared.top == 0 &&
                             cleared.right == whole.width && cleared.bottom == whole.height;
    if (wholeScreen) {
        ClearWholeScreen(&screenImage, ClearWord(*whole.format));
    } else {
        ClearRegion(target);
        NoteScreenDrawn(whole, cleared);
    }
    return 0;
}

// ------------------------------------------------------------ presentation

int PresentScreen()
{
    if (!systemState.initialised || systemState.quitRequested)
        return -1;
    if (displaySettings.hardwarePath)
        return PresentGlScreen();
    return PresentSoftwareScreen();
}

void OnFrontScreenTimer()
{
    if (systemState.mainWindow)
        platform::KillTimer(systemState.mainWindow, FrontScreenTimerId);
    if (displaySettings.drawTarget != ScreenFront)
        return;
    if (displaySettings.hardwarePath && !systemState.windowed && !GlSubBackBufferExists() && !subBackBufferFailed) {
        if (CreateGlSubBackBuffer()) {
            int width, height;
            GlTargetPlace place;
            if (TargetSize(displaySettings.drawTarget, &width, &height))
                GlSetRenderTarget(TargetFramebuffer(displaySettings.drawTarget, &place), width, height, place);
            ApplyClipArea();
        } else {
            subBackBufferFailed = true;
            LogAdd("サブバックバッファの作成に失敗しました\n");
        }
    }
    PresentScreen();
    ArmFrontScreenTimer();
}

void PaintFromBackScreen(const int* dirty)
{
    DisplaySettings& d = displaySettings;
    if (!systemState.initialised || d.drawTarget != ScreenBack || systemState.quitRequested)
        return;
    if (d.hardwarePath) {
        PresentGlScreen(true);
        return;
    }
    const bool wait = d.waitVSync;
    d.waitVSync = false;
    if (dirty) {
        const platform::Rect area{dirty[0], dirty[1], dirty[2], dirty[3]};
        PresentSoftwareScreen(true, &area);
    } else {
        PresentSoftwareScreen(true, nullptr);
    }
    d.waitVSync = wait;
}

int SetWaitVSync(int flag)
{
    displaySettings.waitVSync = flag != 0;
    if (!systemState.initialised)
        displaySettings.presentOnVSync = flag != 0;
    return 0;
}

// ------------------------------------------------------------ clocks and the vertical blank

uint64_t NowMicroseconds(int useTimeStamp)
{
    using u128 = unsigned __int128;
    const SystemState& s = systemState;
#if defined(__x86_64__) || defined(__i386__)
    if (useTimeStamp == 1 && s.hasTimeStampCounter && s.initialised && s.cpuCyclesPerSecond)
        return uint64_t(u128(__rdtsc()) * 1000000u / s.cpuCyclesPerSecond);
#endif
    if (s.usePerformanceCounter) {
        const int64_t frequency =
            s.performanceFrequency > 0 ? s.performanceFrequency : platform::QueryPerformanceFrequency();
        return uint64_t(u128(uint64_t(platform::QueryPerformanceCounter())) * 1000000u / uint64_t(frequency));
    }
    return uint64_t(platform::TimeGetTime()) * 1000u;
}

void MeasureRefreshPeriod()
{
    DisplaySettings& d = displaySettings;
    d.refreshPeriod = -1;
    if (!VerticalBlankReady()) {
        WaitVerticalBlank();
        return;
    }
    platform::WaitForVerticalBlank();
    uint64_t previousBlank = NowMicroseconds(0);
    int64_t previousInterval = 0, sum = 0;
    int count = 0;
    for (int i = 0; i < 60; ++i) {
        platform::WaitForVerticalBlank();
        const uint64_t blank = NowMicroseconds(0);
        const int64_t interval = int64_t(blank - previousBlank);
        previousBlank = blank;
        if (std::llabs(interval - previousInterval) < 1000) {
            sum += interval;
            ++count;
        } else {
            sum = 0;
            count = 0;
        }
        previousInterval = interval;
        if (count == 10) {
            d.refreshPeriod = sum / count;
            break;
        }
        platform::Sleep(5);
    }
    WaitVerticalBlank();
}

void WaitVerticalBlank()
{
    DisplaySettings& d = displaySettings;
    const int64_t threshold = d.refreshPeriod < 0 ? 4000 : d.refreshPeriod - 3000;
    // A clock that went back (the millisecond clock wraps) counts as a blank
    // passed, or the wait below would last until it came round again.
    auto sinceBlank = [&] {
        const int64_t since = int64_t(NowMicroseconds(0) - d.lastBlankTime);
        return since < 0 ? threshold : since;
    };
    if (sinceBlank() >= threshold) {
        if (VerticalBlankReady())
            platform::WaitForVerticalBlank();
        d.lastBlankTime = NowMicroseconds(0);
        platform::Sleep(0);
        return;
    }
    // Sleep until about 3 ms before the blank, then block in the platform wait.
    platform::Sleep(0);
    while (sinceBlank() < threshold)
        platform::Sleep(1);
    if (VerticalBlankReady())
        platform::WaitForVerticalBlank();
    d.lastBlankTime = NowMicroseconds(0);
}

}  // namespace media
