// The public calls of include/korvanta/: each hands its arguments to the
// floor that does the work, so that a program built on the installed library
// sees none of the floors' headers.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "korvanta/media.h"
#include "media/base/charset.h"
#include "media/font/font.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/input/input.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

namespace korvanta {

static_assert(ScreenBack == media::ScreenBack && ScreenFront == media::ScreenFront);
static_assert(FontEdge == media::FontTypeEdge && FontAntialiased == media::FontTypeAntialiased);
static_assert(int(CharsetShiftJis) == int(media::CharsetShiftJis) && int(CharsetGb2312) == int(media::CharsetGb2312));

// ---------------------------------------------------------------- lifecycle

bool SelectDisplayBackend(std::string* error) { return media::platform::SelectSdlBackend(error); }

bool SelectHeadlessBackend(const std::string& scriptPath, const std::string& desktopId, std::string* error)
{
    media::platform::HeadlessOptions options;
    options.scriptPath = scriptPath;
    options.desktopId = desktopId;
    return media::platform::SelectHeadlessBackend(options, error);
}

void CloseBackend() { media::platform::CloseBackend(); }
int InitMediaLibrary() { return media::InitMediaLibrary(); }
int EndMediaLibrary() { return media::EndMediaLibrary(); }
int PumpWindowMessages() { return media::PumpWindowMessages(); }
int WaitAnyKey() { return media::WaitAnyKey(); }
int NowMilliseconds() { return media::NowMilliseconds(); }
void Sleep(uint32_t milliseconds) { media::platform::Sleep(milliseconds); }

// ---------------------------------------------------------------- log

namespace {

std::string FormatText(const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    std::string text;
    const int length = std::vsnprintf(nullptr, 0, format, args);
    if (length > 0) {
        text.resize(size_t(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(size_t(length));
    }
    va_end(again);
    return text;
}

}  // namespace

int LogAdd(const char* text) { return media::LogAdd(text); }

// Formatted here, then passed through "%s" so that the log cuts a long text
// exactly as it cuts its own.
int LogPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = format ? FormatText(format, args) : std::string();
    va_end(args);
    return media::LogPrintf("%s", text.c_str());
}

int LogPrintfLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = format ? FormatText(format, args) : std::string();
    va_end(args);
    return media::LogPrintfLine("%s", text.c_str());
}

int LogIndent() { return media::LogIndent(); }
int LogUnindent() { return media::LogUnindent(); }
void SetLogEcho(bool on) { media::SetLogEcho(on); }
int ConfigureLogEchoFromCommandLine(int argc, char** argv) { return media::ConfigureLogEchoFromCommandLine(argc, argv); }

// ---------------------------------------------------------------- window and screen

int SetScreenMode(int width, int height, int depth, int refresh)
{
    return media::SetScreenMode(width, height, depth, refresh);
}
int ChangeWindowMode(int windowed) { return media::ChangeWindowMode(windowed); }
int SetWindowTitle(const char* title) { return media::SetWindowTitle(title); }
int SetWindowSizeRate(double rateX, double rateY) { return media::SetWindowSizeRate(rateX, rateY); }
int SetMouseCursorVisible(int visible) { return media::SetMouseCursorVisible(visible); }
int SetDrawTarget(int target) { return media::SetDrawTarget(target); }
int SetDrawRegion(int left, int top, int right, int bottom) { return media::SetDrawRegion(left, top, right, bottom); }
int ClearDrawTarget(const int* rect) { return media::ClearDrawTarget(rect); }
int PresentScreen() { return media::PresentScreen(); }
int SetWaitVSync(int wait) { return media::SetWaitVSync(wait); }
int ScreenWidth() { return media::ScreenWidth(); }
int ScreenHeight() { return media::ScreenHeight(); }
int ScreenDepth() { return media::ScreenDepth(); }

// ---------------------------------------------------------------- input

int ReadKeyState(int keyCode) { return media::ReadKeyState(keyCode); }
int ReadKeyStates(uint8_t states[256]) { return media::ReadKeyStates(states); }
int ReadMouseButtons() { return media::ReadMouseButtons(); }
int ReadMousePosition(int* x, int* y) { return media::ReadMousePosition(x, y); }
int TakeWheelRotation(int reset) { return media::TakeWheelRotation(reset); }
int CheckAnyInput(int devices) { return media::CheckAnyInput(devices); }

// ---------------------------------------------------------------- drawing

ColorValue PackColor(int red, int green, int blue) { return media::PackColor(red, green, blue); }
int UnpackColor(ColorValue value, int* red, int* green, int* blue)
{
    return media::UnpackColor(value, red, green, blue);
}
int DrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill)
{
    return media::DrawRect(x1, y1, x2, y2, colour, fill);
}
int SetBlendState(int mode, int parameter) { return media::SetBlendState(mode, parameter); }
int SetDrawBrightness(int red, int green, int blue) { return media::SetDrawBrightness(red, green, blue); }
int SetTransColor(int red, int green, int blue) { return media::SetTransColor(red, green, blue); }
int SetDrawFilter(int mode) { return media::SetDrawFilter(mode); }
void ResetDrawState() { media::ResetDrawState(); }

// ---------------------------------------------------------------- images

ImageHandle LoadImageToHandle(const char* path) { return media::LoadImageToHandle(path, 0); }
ImageHandle MakeImage(int width, int height, bool hasAlpha, bool drawable)
{
    return media::MakeEmptyImage(width, height, hasAlpha, drawable);
}
int DeleteImage(ImageHandle image) { return media::DeleteImage(image); }

int GetImageSize(ImageHandle image, int* width, int* height)
{
    const media::ImageEntry* entry = media::FindImage(image);
    if (!entry)
        return -1;
    if (width)
        *width = entry->width;
    if (height)
        *height = entry->height;
    return 0;
}

int DrawImage(int x, int y, ImageHandle image, int trans) { return media::DrawImage(x, y, image, trans); }
int DrawImagePart(int x, int y, int srcX, int srcY, int width, int height, ImageHandle image, int trans, int mirror)
{
    return media::DrawImagePart(x, y, srcX, srcY, width, height, image, trans, mirror);
}
int DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, ImageHandle image,
                  int trans)
{
    return media::DrawImageQuad(x1, y1, x2, y2, x3, y3, x4, y4, image, trans);
}

// ---------------------------------------------------------------- fonts and text

FontHandle CreateFontToHandle(const char* faceName, int size, int thickness, int type, int charset, int edgeSize,
                              int italic)
{
    return media::CreateFontToHandle(faceName, size, thickness, type, charset, edgeSize, italic);
}
int DeleteFontHandle(FontHandle font) { return media::DeleteFontHandle(font); }
FontHandle DefaultFontHandle() { return media::DefaultFontHandle(); }
int SetDefaultFontSize(int size, int thickness) { return media::SetDefaultFontSize(size, thickness); }
int SetFontSpacing(int spacing, FontHandle font) { return media::SetFontSpacing(spacing, font); }
int QueryFontSize(FontHandle font) { return media::QueryFontSize(font); }

int DrawTextString(int x, int y, const char* text, ColorValue colour, ColorValue edgeColour)
{
    return media::DrawTextString(x, y, text, colour, edgeColour);
}

int DrawTextFormat(int x, int y, ColorValue colour, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = format ? FormatText(format, args) : std::string();
    va_end(args);
    return media::DrawTextFormat(x, y, colour, "%s", text.c_str());
}

int DrawTextToHandle(int x, int y, const char* text, ColorValue colour, FontHandle font, ColorValue edgeColour,
                     int vertical)
{
    return media::DrawTextToHandle(x, y, text, colour, font, edgeColour, vertical);
}

int MeasureText(const char* text, FontHandle font, int* height)
{
    int width = 0, lineHeight = 0;
    const int advance = media::RenderText(media::TextMode::Measure, 0, 0, text, 0, nullptr, nullptr, font, 0, -1, 0,
                                          &width, &lineHeight);
    if (advance < 0)
        return -1;
    if (height)
        *height = lineHeight;
    return advance;
}

}  // namespace korvanta
