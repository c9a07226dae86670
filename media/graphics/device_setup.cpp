#include "media/graphics/device_setup.h"

#include "media/graphics/gl_device.h"
#include "media/graphics/screen.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"
#include "media/core/roof_calls.h"

namespace media {

namespace {

// The platform's vertical blank (platform::WaitForVerticalBlank) needs no
// object; this flag stands for the object the waits go through.
bool verticalBlankReady = false;

}  // namespace

bool VerticalBlankReady()
{
    return verticalBlankReady;
}

int SetupGraphicsDevice()
{
    DisplaySettings& d = displaySettings;

    // The device library is the GL library, loaded when the main window was
    // made GL-capable. Missing, it leaves the memory path rather than
    // stopping the program.
    const bool libraryMissing = GlLibraryMissing();
    if (libraryMissing)
        LogAdd("d3d9.dll の読み込みに失敗しました\n");

    LogAdd("DirectDraw オブジェクトの取得を行います....  ");
    verticalBlankReady = true;
    LogAdd("成功\n");
    LogAdd("引き続き初期化処理... ");
    LogAdd("初期化に成功しました\n");

    d.hardwarePath = false;
    if (!d.softwareOnly && !libraryMissing && TryGlDevicePath()) {
        d.hardwarePath = true;
        return 0;
    }

    // Software path.
    if (!systemState.windowed && ChangeDisplayMode() == -1)
        return -1;
    MeasureRefreshPeriod();
    return 0;
}

void ReleaseGraphicsDevice()
{
    ReleaseGlDevice();
    verticalBlankReady = false;
    displaySettings.hardwarePath = false;
}

int ChangeDisplayMode()
{
    DisplaySettings& d = displaySettings;
    LogPrintfLine("画面モードの変更処理を開始します %u x %u  %u bit ", unsigned(d.width), unsigned(d.height),
                  unsigned(d.depth));
    LogIndent();
    if (d.depth != 16 && d.depth != 32) {
        LogUnindent();
        return -1;
    }

    LogAdd("画面解像度を変更します... ");
    platform::DisplayMode mode;
    mode.width = d.width;
    mode.height = d.height;
    mode.bitsPerPixel = d.depth;
    mode.refreshHz = d.refresh;
    bool changed = platform::ChangeDisplayMode(&mode);
    if (!changed) {
        d.refresh = 0;
        mode.refreshHz = 0;
        changed = platform::ChangeDisplayMode(&mode);
    }
    if (!changed && d.width == 320 && d.height == 240) {
        d.width = 640;
        d.height = 480;
        d.emulate320x240 = true;
        mode.width = 640;
        mode.height = 480;
        changed = platform::ChangeDisplayMode(&mode);
        if (changed)
            ApplyWindowStyle();
    }

    int result;
    if (changed) {
        d.displayModeSwitched = true;
        LogAdd("成功しました\n");
        result = 0;
    } else {
        LogAdd("画面モードの変更に失敗しました\n");
        result = -1;
    }
    LogUnindent();
    return result;
}

}  // namespace media
