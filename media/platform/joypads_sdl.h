// Inside the platform layer: game controllers and joysticks through SDL's
// game-controller interface (or its joystick interface for devices SDL has
// no controller mapping for). Needs no video: SDL's joystick subsystem alone.
#pragma once

#include "media/platform/platform.h"

#include <cstdint>

union SDL_Event;

namespace media::platform::sdl_joypads {

// Starts SDL's joystick and controller subsystems and opens every device.
bool Open();
// Closes the devices and the subsystems Open started.
void Close();
// Follows devices coming and going (SDL_JOYDEVICEADDED / REMOVED).
void HandleEvent(const SDL_Event& event);
// Brings the devices' states up to date when no event loop does it.
void Update();
int32_t Count();
// The state of the index-th open device (0 first); false when there is none.
bool Read(int32_t index, JoypadState* state);

}  // namespace media::platform::sdl_joypads
