// Joypads through SDL, on SDL's virtual joysticks: buttons, the hat and the
// sticks (past half their range) as directions, devices coming and going.
#include "media/platform/joypads_sdl.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

using namespace media::platform;

class PlatformJoypads : public ::testing::TestWithParam<SDL_JoystickType> {
protected:
    void SetUp() override { ASSERT_TRUE(sdl_joypads::Open()) << SDL_GetError(); }
    void TearDown() override { sdl_joypads::Close(); }

    // Lets the pads follow SDL's device events.
    static void Pump()
    {
        sdl_joypads::Update();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            sdl_joypads::HandleEvent(event);
    }

    static JoypadState Read(int32_t index)
    {
        sdl_joypads::Update();
        JoypadState state;
        EXPECT_TRUE(sdl_joypads::Read(index, &state));
        return state;
    }
};

TEST_P(PlatformJoypads, ButtonsHatAndSticksPastHalfAreRead)
{
    const int32_t before = sdl_joypads::Count();
    const int device = SDL_JoystickAttachVirtual(GetParam(), 2, 4, 1);
    ASSERT_GE(device, 0) << SDL_GetError();
    Pump();
    ASSERT_EQ(sdl_joypads::Count(), before + 1);
    const int32_t index = before;
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device));
    ASSERT_NE(joystick, nullptr);

    EXPECT_FALSE(Read(index).Any());
    SDL_JoystickSetVirtualButton(joystick, 0, SDL_PRESSED);
    EXPECT_NE(Read(index).buttons, 0u);
    SDL_JoystickSetVirtualButton(joystick, 0, SDL_RELEASED);
    EXPECT_FALSE(Read(index).Any());

    struct AxisCase {
        int axis;
        int16_t value;
        bool left, right, up, down;
    };
    const AxisCase cases[] = {
        {0, -20000, true, false, false, false}, {0, 20000, false, true, false, false},
        {1, -20000, false, false, true, false}, {1, 20000, false, false, false, true},
        {0, 10000, false, false, false, false}, {1, -16000, false, false, false, false},
    };
    for (const AxisCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "axis " << c.axis << " at " << c.value);
        SDL_JoystickSetVirtualAxis(joystick, c.axis, c.value);
        const JoypadState state = Read(index);
        EXPECT_EQ(state.left, c.left);
        EXPECT_EQ(state.right, c.right);
        EXPECT_EQ(state.up, c.up);
        EXPECT_EQ(state.down, c.down);
        SDL_JoystickSetVirtualAxis(joystick, c.axis, 0);
    }

    SDL_JoystickSetVirtualHat(joystick, 0, SDL_HAT_UP);
    EXPECT_TRUE(Read(index).up);
    SDL_JoystickSetVirtualHat(joystick, 0, SDL_HAT_CENTERED);
    EXPECT_FALSE(Read(index).Any());

    ASSERT_EQ(SDL_JoystickDetachVirtual(device), 0);
    Pump();
    EXPECT_EQ(sdl_joypads::Count(), before);
    JoypadState state;
    EXPECT_FALSE(sdl_joypads::Read(before, &state));
}

INSTANTIATE_TEST_SUITE_P(ControllerAndPlainJoystick, PlatformJoypads,
                         testing::Values(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_JOYSTICK_TYPE_UNKNOWN));

}  // namespace
