// A debugging hook for comparing the graphics paths: with
// KORVANTA_SCREEN_DUMP=FOLDER set, the back screen's pixel words are written
// to FOLDER at the first frame of every battle and whenever F9 goes down,
// after the frame is drawn and before it is presented.
#pragma once

// Called once per frame, between drawing and presenting.
void DumpScreenWhenAsked();
