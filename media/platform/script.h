// The headless backend's input script: parsing and playing.
//
// Commands run while the program takes messages (PeekMessage); a wait holds
// the rest of the script until enough frames were presented or enough time
// has passed. The language is described in docs/HEADLESS.md.
#pragma once

#include "media/platform/keymap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace media::platform {

struct ScriptCommand {
    enum class Kind {
        WaitFrames,
        WaitMilliseconds,
        KeyDown,
        KeyUp,
        MouseMove,
        ButtonDown,
        ButtonUp,
        Wheel,
        FocusLost,
        FocusGained,
        Close,
        Screenshot,
        Resize,
        PadPress,
        PadRelease,
    };
    Kind kind = Kind::WaitFrames;
    int line = 0;
    int64_t count = 0;                 // waits; wheel notches
    int32_t x = 0, y = 0;              // mouse move; resize: client width and height; pad: x = pad index
    const PhysicalKey* key = nullptr;  // key down/up
    int button = 0;                    // 0 left, 1 right, 2 middle; pad: 0-31 button, 32-35 left right up down
    std::string path;                  // screenshot
};

// Reads a whole script. On a bad line, fails with "line N: what is wrong".
bool ParseScript(const std::string& text, std::vector<ScriptCommand>* commands, std::string* error);

class ScriptPlayer {
public:
    // Writes the last presented frame; false with a reason when it cannot.
    using ScreenshotWriter = std::function<bool(const std::string& path, std::string* error)>;

    void Load(std::vector<ScriptCommand> commands);
    // Runs commands until a wait holds or the script ends.
    void Run(uint64_t framesPresented, const ScreenshotWriter& screenshot);
    bool Finished() const { return next_ >= commands_.size(); }

private:
    bool Execute(const ScriptCommand& command, const ScreenshotWriter& screenshot);

    std::vector<ScriptCommand> commands_;
    size_t next_ = 0;
    bool waiting_ = false;
    uint64_t waitFrames_ = 0;      // frame count that ends the wait
    int64_t waitStarted_ = 0;      // performance counter when the wait began
};

}  // namespace media::platform
