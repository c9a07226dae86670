// The program's start, frame loop and end.
#include "app/shell.h"

#include <ctime>

#include "app/battle_data.h"
#include "app/battle_screen.h"
#include "app/preparation_screen.h"
#include "app/random.h"
#include "app/screen_dump.h"
#include "app/shell_state.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/input/input.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

FrameRateState frameRate;
FrameLoopCalls frameLoopCalls = {media::PumpWindowMessages, media::ClearDrawTarget, media::ReadMousePosition,
                                 media::NowMilliseconds, media::platform::Sleep};

namespace {

constexpr int FramePeriodMilliseconds = 30;

bool sessionSeedGiven = false;
uint32_t sessionSeed = 0;

void RunCurrentScreen()
{
    if (ScreenState == BattleScreen) {
        const int over = RunBattleFrame();
        if (over != 0 && KeyPressCounter[KeyN] >= 1)
            ScreenState = PreparationScreen;
    } else if (ScreenState == PreparationScreen) {
        RunPreparationScreen();
        if (KeyPressCounter[KeyB] >= 1) {
            ScreenState = BattleScreen;
            battleTurn = 0;
        }
    }
}

// Sleeps out the rest of a 30 ms frame, measured from the end of the last
// frame's wait; a long frame is not made up for.
void PaceFrame()
{
    // Taken modulo 2^31: across the clock's wrap the difference stays small.
    const int32_t elapsed = int32_t((uint32_t(frameLoopCalls.now()) - uint32_t(lastFrameTime)) & 0x7FFFFFFFu);
    const int32_t wait = FramePeriodMilliseconds - elapsed;
    if (wait > 0)
        frameLoopCalls.sleep(uint32_t(wait));
    lastFrameTime = frameLoopCalls.now();
}

// Start steps 1 to 10; false when the program cannot run.
bool StartProgram()
{
    media::SetScreenMode(700, 400, 16, 60);
    // No class name is set: the title names the class, which keeps a second
    // copy from starting.
    media::SetWindowTitle("Korvanta");
    // Full screen is asked for; with no 700 x 400 display mode the start
    // switches to a window.
    if (media::ChangeWindowMode(0) != 0)
        return false;
    if (media::InitMediaLibrary() == -1)
        return false;
    media::SetDrawTarget(media::ScreenBack);
    whiteColor = media::PackColor(255, 255, 255);
    SeedRandom(sessionSeedGiven ? sessionSeed : uint32_t(std::time(nullptr)));
    // Not checked: a picture that did not load stays -1 and is simply not drawn.
    buttonImages[0] = media::LoadImageToHandle(".\\PIC\\button.png", 0);
    buttonImages[1] = media::LoadImageToHandle(".\\PIC\\button2.png", 0);
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
    ScreenState = PreparationScreen;
    return true;
}

}  // namespace

void RunFrameLoop()
{
    if (frameLoopCalls.pump() != 0)
        return;
    for (;;) {
        if (frameLoopCalls.clear(nullptr) != 0)
            return;
        CountHeldKeys();
        if (UpdateMouse() != 0)
            return;
        if (KeyPressCounter[KeyEscape] != 0)
            return;
        const int32_t screenDrawn = ScreenState;
        RunCurrentScreen();
        DumpScreenWhenAsked(screenDrawn);
        PaceFrame();
        DrawFrameRate();
        media::PresentScreen();
        if (frameLoopCalls.pump() != 0)
            return;
    }
}

void CountHeldKeys()
{
    // Left as read when the read only restarts input and fills nothing.
    uint8_t states[256] = {};
    media::ReadKeyStates(states);
    for (int key = 0; key < 256; ++key)
        KeyPressCounter[key] = states[key] == 1 ? KeyPressCounter[key] + 1 : 0;
}

int UpdateMouse()
{
    if (frameLoopCalls.readMousePosition(&mouseX, &mouseY) == -1)
        return -1;
    const int buttons = media::ReadMouseButtons();
    for (int bit = 0; bit < 8; ++bit)
        MouseButtonCounter[bit] = (buttons >> bit) & 1 ? MouseButtonCounter[bit] + 1 : 0;
    return 0;
}

void DrawFrameRate()
{
    const int32_t now = media::NowMilliseconds();
    frameRate.frameTimes[frameRate.frameSlot] = now - frameRate.lastOverlayTime;
    frameRate.lastOverlayTime = media::NowMilliseconds();
    if (frameRate.frameSlot == 59) {
        // The first lap's first entry counts from clock 0: sum in 64 bits.
        int64_t sum = 0;
        for (int32_t time : frameRate.frameTimes)
            sum += time;
        frameRate.averageFrameTime = int32_t(sum / 60);
    }
    if (frameRate.averageFrameTime != 0) {
        media::DrawTextFormat(0, 0, media::PackColor(255, 255, 255), "%.1fFPS", 1000.0 / frameRate.averageFrameTime);
        media::DrawTextFormat(0, 20, media::PackColor(255, 255, 255), "%dms", frameRate.averageFrameTime);
    }
    frameRate.frameSlot = (frameRate.frameSlot + 1) % 60;
}

void SetSessionSeed(uint32_t seed)
{
    sessionSeed = seed;
    sessionSeedGiven = true;
}

int WinMain()
{
    if (!StartProgram())
        return -1;
    RunFrameLoop();
    media::WaitAnyKey();
    media::EndMediaLibrary();
    return 0;
}
