#include "app/shell_state.h"

int32_t ScreenState = 0;
int32_t KeyPressCounter[256] = {};
int32_t MouseButtonCounter[8] = {};
int32_t mouseX = 0;
int32_t mouseY = 0;
uint32_t whiteColor = 0;
int32_t buttonImages[2] = {};
int32_t battleTurn = 0;
int32_t lastFrameTime = 0;
