// The media layer's one process-wide record of settings and status.
//
// Every module of the media layer reads and writes its fields directly; the
// window step of start-up clears it, keeping the fields listed in
// ResetSystemStateForStart (lifecycle.cpp).
#pragma once

#include "media/base/charset.h"

#include <cstdint>

namespace media {

struct ScreenRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct SystemState {
    // Lifecycle and window status.
    int32_t initialised = 0;
    int32_t initialising = 0;
    int32_t quitRequested = 0;
    int32_t closePosted = 0;
    int32_t windowDestroyed = 0;
    int32_t active = 0;
    int32_t creatingWindow = 0;
    int32_t windowed = 0;
    int32_t windowModeChanged = 0;
    int32_t changingMode = 0;
    int32_t modeChangeDone = 0;
    uintptr_t mainWindow = 0;
    uintptr_t moduleHandle = 0;
    uint64_t mainThreadId = 0;
    char windowTitle[256] = {};
    char windowClassName[256] = {};
    ScreenRect clientRectOnScreen;
    double windowSizeRateX = 0.0;
    double windowSizeRateY = 0.0;
    int32_t wheelRotation = 0;
    int32_t cursorSetting = 0;
    int32_t cursorShown = 0;
    int32_t comInitialised = 0;
    int64_t performanceFrequency = 0;
    int32_t usePerformanceCounter = 0;
    int32_t timerPeriodMin = 0;
    int32_t characterSet = 0;  // CharsetCode: 0 default, 1 Shift-JIS, 2 Hangul, 3 Big5, 4 GB2312
    int32_t codePage = 0;
    int32_t desktopWidth = 0;
    int32_t desktopHeight = 0;
    int32_t desktopColorBits = 0;
    int32_t paintInProgress = 0;  // set while the window procedure handles a paint message

    // Log state.
    char logDirectory[256] = {};
    char logFileName[256] = "Log.txt";
    uint32_t logStartTime = 0;
    int32_t logIndent = 0;
    int32_t lineOpen = 0;

    // System values found by the system report.
    int32_t OsVersionCode = 0;
    int32_t hasTimeStampCounter = 0;
    uint64_t cpuCyclesPerSecond = 0;
    int32_t hasMmx = 0;
};

extern SystemState systemState;

}  // namespace media
