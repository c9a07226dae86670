// A debugging hook for comparing the graphics paths: with
// KORVANTA_SCREEN_DUMP=FOLDER set, the back screen's pixel words are written
// to FOLDER at the first frame of every battle and whenever F9 goes down,
// once the screen is drawn and before the frame-rate figure (which differs
// from run to run) is drawn over it.
#pragma once

#include <cstdint>

// Called once per frame after the current screen is drawn; screenDrawn is
// the screen that drew it (ScreenState may already name the next).
void DumpScreenWhenAsked(int32_t screenDrawn);
