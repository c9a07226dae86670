// Korvanta's media layer: a window, 2D drawing, pictures, fonts and text,
// keyboard and mouse, and a log. One include for all of it; see
// docs/LIBRARY.md for building on it.
#pragma once

#include "korvanta/draw.h"
#include "korvanta/font.h"
#include "korvanta/image.h"
#include "korvanta/input.h"
#include "korvanta/lifecycle.h"
#include "korvanta/log.h"
#include "korvanta/screen.h"
#include "korvanta/text.h"
