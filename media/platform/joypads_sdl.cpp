// Joypads through SDL. A device with a controller mapping is read through the
// game-controller interface (buttons by their function, the left stick and
// the direction pad as directions, triggers past half as buttons); any other
// through the joystick interface (buttons, the first hat, and the first two
// axes as directions). An axis counts as a direction once it is past half
// its range.
#include "media/platform/joypads_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <vector>

namespace media::platform::sdl_joypads {

namespace {

constexpr int32_t HalfRange = 16384;
constexpr size_t MaxPads = 16;

struct Pad {
    SDL_JoystickID id = -1;
    SDL_Joystick* joystick = nullptr;
    SDL_GameController* controller = nullptr;
};

struct JoypadsState {
    bool open = false;
    std::vector<Pad> pads;
};

JoypadsState& Joypads()
{
    static JoypadsState state;
    return state;
}

void OpenDevice(int deviceIndex)
{
    JoypadsState& s = Joypads();
    if (s.pads.size() >= MaxPads)
        return;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (const Pad& pad : s.pads)
        if (pad.id == id)
            return;
    Pad pad;
    if (SDL_IsGameController(deviceIndex)) {
        pad.controller = SDL_GameControllerOpen(deviceIndex);
        pad.joystick = pad.controller ? SDL_GameControllerGetJoystick(pad.controller) : nullptr;
    }
    if (!pad.joystick)
        pad.joystick = SDL_JoystickOpen(deviceIndex);
    if (!pad.joystick)
        return;
    pad.id = SDL_JoystickInstanceID(pad.joystick);
    s.pads.push_back(pad);
}

void CloseDevice(const Pad& pad)
{
    if (pad.controller)
        SDL_GameControllerClose(pad.controller);
    else if (pad.joystick)
        SDL_JoystickClose(pad.joystick);
}

void AddDirectionFromAxis(int32_t value, bool* negative, bool* positive)
{
    if (value <= -HalfRange)
        *negative = true;
    else if (value >= HalfRange)
        *positive = true;
}

void ReadHat(SDL_Joystick* joystick, JoypadState* state)
{
    if (SDL_JoystickNumHats(joystick) <= 0)
        return;
    const Uint8 hat = SDL_JoystickGetHat(joystick, 0);
    state->up = state->up || (hat & SDL_HAT_UP);
    state->down = state->down || (hat & SDL_HAT_DOWN);
    state->left = state->left || (hat & SDL_HAT_LEFT);
    state->right = state->right || (hat & SDL_HAT_RIGHT);
}

void ReadController(SDL_GameController* controller, JoypadState* state)
{
    int bit = 0;
    for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX && bit < 32; ++button) {
        switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            continue;  // directions, below
        default:
            break;
        }
        if (SDL_GameControllerGetButton(controller, SDL_GameControllerButton(button)))
            state->buttons |= 1u << bit;
        ++bit;
    }
    for (SDL_GameControllerAxis trigger : {SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT}) {
        if (bit < 32 && SDL_GameControllerGetAxis(controller, trigger) >= HalfRange)
            state->buttons |= 1u << bit;
        ++bit;
    }
    state->up = SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_UP);
    state->down = SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    state->left = SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    state->right = SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    // A hat the mapping leaves out still counts as the direction pad.
    ReadHat(SDL_GameControllerGetJoystick(controller), state);
    AddDirectionFromAxis(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX), &state->left,
                         &state->right);
    AddDirectionFromAxis(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY), &state->up,
                         &state->down);
}

void ReadJoystick(SDL_Joystick* joystick, JoypadState* state)
{
    const int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
    for (int button = 0; button < buttons; ++button)
        if (SDL_JoystickGetButton(joystick, button))
            state->buttons |= 1u << button;
    ReadHat(joystick, state);
    const int axes = SDL_JoystickNumAxes(joystick);
    if (axes > 0)
        AddDirectionFromAxis(SDL_JoystickGetAxis(joystick, 0), &state->left, &state->right);
    if (axes > 1)
        AddDirectionFromAxis(SDL_JoystickGetAxis(joystick, 1), &state->up, &state->down);
}

}  // namespace

bool Open()
{
    JoypadsState& s = Joypads();
    if (s.open)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0)
        return false;
    s.open = true;
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i)
        OpenDevice(i);
    return true;
}

void Close()
{
    JoypadsState& s = Joypads();
    if (!s.open)
        return;
    for (const Pad& pad : s.pads)
        CloseDevice(pad);
    s.pads.clear();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    s.open = false;
}

void HandleEvent(const SDL_Event& event)
{
    JoypadsState& s = Joypads();
    if (!s.open)
        return;
    if (event.type == SDL_JOYDEVICEADDED) {
        OpenDevice(event.jdevice.which);
    } else if (event.type == SDL_JOYDEVICEREMOVED) {
        const auto gone = std::find_if(s.pads.begin(), s.pads.end(),
                                       [&](const Pad& pad) { return pad.id == event.jdevice.which; });
        if (gone != s.pads.end()) {
            CloseDevice(*gone);
            s.pads.erase(gone);
        }
    }
}

void Update()
{
    if (Joypads().open)
        SDL_GameControllerUpdate();  // updates the joysticks too
}

int32_t Count()
{
    return int32_t(Joypads().pads.size());
}

bool Read(int32_t index, JoypadState* state)
{
    const JoypadsState& s = Joypads();
    *state = JoypadState{};
    if (index < 0 || size_t(index) >= s.pads.size())
        return false;
    const Pad& pad = s.pads[size_t(index)];
    if (pad.controller)
        ReadController(pad.controller, state);
    else
        ReadJoystick(pad.joystick, state);
    return true;
}

}  // namespace media::platform::sdl_joypads
