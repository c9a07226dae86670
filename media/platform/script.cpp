#include "media/platform/script.h"

#include "media/platform/backend.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace media::platform {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ParseNumber(const std::string& word, int64_t minimum, int64_t* value)
{
    int64_t parsed = 0;
    const char* end = word.data() + word.size();
    const auto result = std::from_chars(word.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end || parsed < minimum || parsed > 0x7FFFFFFF)
        return false;
    *value = parsed;
    return true;
}

bool ParseButton(const std::string& word, int* button)
{
    static const char* const names[] = {"left", "right", "middle"};
    for (int i = 0; i < 3; ++i)
        if (Lower(word) == names[i]) {
            *button = i;
            return true;
        }
    return false;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// One line into one command; an empty string when it is fine.
std::string ParseLine(const std::string& line, ScriptCommand* command)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    const std::string verb = Lower(words[0]);
    const size_t count = words.size();
    using Kind = ScriptCommand::Kind;

    if (verb == "wait") {
        if (count != 3)
            return "expected \"wait N frames\" or \"wait N ms\"";
        if (!ParseNumber(words[1], 0, &command->count))
            return "bad number \"" + words[1] + "\"";
        const std::string unit = Lower(words[2]);
        if (unit == "frame" || unit == "frames")
            command->kind = Kind::WaitFrames;
        else if (unit == "ms")
            command->kind = Kind::WaitMilliseconds;
        else
            return "unknown unit \"" + words[2] + "\" (frames or ms)";
        return {};
    }
    if (verb == "key") {
        if (count != 3 || (Lower(words[1]) != "down" && Lower(words[1]) != "up"))
            return "expected \"key down NAME\" or \"key up NAME\"";
        command->kind = Lower(words[1]) == "down" ? Kind::KeyDown : Kind::KeyUp;
        command->key = KeyFromName(words[2]);
        if (!command->key)
            return "unknown key \"" + words[2] + "\"";
        return {};
    }
    if (verb == "mouse") {
        int64_t x = 0, y = 0;
        if (count != 4 || Lower(words[1]) != "move")
            return "expected \"mouse move X Y\"";
        if (!ParseNumber(words[2], -32768, &x) || x > 32767 || !ParseNumber(words[3], -32768, &y) || y > 32767)
            return "bad coordinates \"" + words[2] + " " + words[3] + "\"";
        command->kind = Kind::MouseMove;
        command->x = int32_t(x);
        command->y = int32_t(y);
        return {};
    }
    if (verb == "button") {
        if (count != 3 || (Lower(words[1]) != "down" && Lower(words[1]) != "up"))
            return "expected \"button down left|right|middle\" or \"button up ...\"";
        command->kind = Lower(words[1]) == "down" ? Kind::ButtonDown : Kind::ButtonUp;
        if (!ParseButton(words[2], &command->button))
            return "unknown button \"" + words[2] + "\"";
        return {};
    }
    if (verb == "wheel") {
        if (count != 2 || !ParseNumber(words[1], -273, &command->count) || command->count > 273)
            return "expected \"wheel N\" with N from -273 to 273";
        command->kind = Kind::Wheel;
        return {};
    }
    if (verb == "focus") {
        if (count != 2 || (Lower(words[1]) != "lost" && Lower(words[1]) != "gained"))
            return "expected \"focus lost\" or \"focus gained\"";
        command->kind = Lower(words[1]) == "lost" ? Kind::FocusLost : Kind::FocusGained;
        return {};
    }
    if (verb == "pad") {
        int64_t pad = 0, button = 0;
        if (count != 4 || (Lower(words[2]) != "press" && Lower(words[2]) != "release"))
            return "expected \"pad N press|release BUTTON\"";
        if (!ParseNumber(words[1], 1, &pad) || pad > 16)
            return "bad pad \"" + words[1] + "\" (1 to 16)";
        static const char* const directions[] = {"left", "right", "up", "down"};
        int control = -1;
        for (int i = 0; i < 4; ++i)
            if (Lower(words[3]) == directions[i])
                control = 32 + i;
        if (control < 0) {
            if (!ParseNumber(words[3], 1, &button) || button > 32)
                return "bad pad button \"" + words[3] + "\" (1 to 32, left, right, up or down)";
            control = int(button - 1);
        }
        command->kind = Lower(words[2]) == "press" ? Kind::PadPress : Kind::PadRelease;
        command->x = int32_t(pad - 1);
        command->button = control;
        return {};
    }
    if (verb == "resize") {
        int64_t width = 0, height = 0;
        if (count != 3 || !ParseNumber(words[1], 0, &width) || width > 32767 || !ParseNumber(words[2], 0, &height) ||
            height > 32767)
            return "expected \"resize WIDTH HEIGHT\" (client size, 0 to 32767)";
        command->kind = Kind::Resize;
        command->x = int32_t(width);
        command->y = int32_t(height);
        return {};
    }
    if (verb == "close") {
        if (count != 1)
            return "\"close\" takes nothing more";
        command->kind = Kind::Close;
        return {};
    }
    if (verb == "screenshot") {
        const std::string path = Trim(Trim(line).substr(words[0].size()));
        if (path.empty())
            return "expected \"screenshot FILE.png\"";
        command->kind = Kind::Screenshot;
        command->path = path;
        return {};
    }
    return "unknown command \"" + words[0] + "\"";
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptCommand>* commands, std::string* error)
{
    commands->clear();
    // Notepad starts a UTF-8 file with a byte order mark: it is no part of the first command.
    const bool marked = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::istringstream stream(marked ? text.substr(3) : text);
    int lineNumber = 0;
    for (std::string line; std::getline(stream, line);) {
        ++lineNumber;
        if (line.find('\0') != std::string::npos) {
            // UTF-16 ("Unicode" in Notepad) or no text at all.
            if (error)
                *error = "line " + std::to_string(lineNumber) +
                         ": a zero byte: a script is text in ASCII or UTF-8 (not UTF-16)";
            commands->clear();
            return false;
        }
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        ScriptCommand command;
        command.line = lineNumber;
        const std::string problem = ParseLine(trimmed, &command);
        if (!problem.empty()) {
            if (error)
                *error = "line " + std::to_string(lineNumber) + ": " + problem;
            commands->clear();
            return false;
        }
        commands->push_back(std::move(command));
    }
    return true;
}

void ScriptPlayer::Load(std::vector<ScriptCommand> commands)
{
    commands_ = std::move(commands);
    next_ = 0;
    waiting_ = false;
}

void ScriptPlayer::Run(uint64_t framesPresented, const ScreenshotWriter& screenshot)
{
    using Kind = ScriptCommand::Kind;
    while (next_ < commands_.size()) {
        const ScriptCommand& command = commands_[next_];
        if (command.kind == Kind::WaitFrames || command.kind == Kind::WaitMilliseconds) {
            if (!waiting_) {
                waiting_ = true;
                waitFrames_ = framesPresented + uint64_t(command.count);
                waitStarted_ = QueryPerformanceCounter();
            }
            const bool done = command.kind == Kind::WaitFrames
                                  ? framesPresented >= waitFrames_
                                  : (QueryPerformanceCounter() - waitStarted_) >= command.count * (QueryPerformanceFrequency() / 1000);
            if (!done)
                return;
            waiting_ = false;
            ++next_;
            continue;
        }
        if (!Execute(command, screenshot))
            return;  // no window to take input yet: try again at the next pump
        ++next_;
    }
}

bool ScriptPlayer::Execute(const ScriptCommand& command, const ScreenshotWriter& screenshot)
{
    using Kind = ScriptCommand::Kind;
    if (command.kind == Kind::PadPress || command.kind == Kind::PadRelease) {
        // Pads need no window.
        SetHeadlessJoypad(command.x, command.button, command.kind == Kind::PadPress);
        return true;
    }
    if (command.kind == Kind::Screenshot) {
        std::string error;
        if (!screenshot(command.path, &error))
            std::fprintf(stderr, "korvanta: script line %d: screenshot %s: %s\n", command.line, command.path.c_str(),
                         error.c_str());
        return true;
    }
    const WindowHandle window = events::InputWindow();
    if (!window)
        return false;
    int32_t x = 0, y = 0;
    switch (command.kind) {
    case Kind::KeyDown:
    case Kind::KeyUp:
        events::Key(window, *command.key, command.kind == Kind::KeyDown);
        break;
    case Kind::MouseMove:
        events::MouseMove(window, command.x, command.y);
        break;
    case Kind::ButtonDown:
    case Kind::ButtonUp:
        events::LastMousePosition(window, &x, &y);
        events::MouseButton(window, command.button, command.kind == Kind::ButtonDown, x, y);
        break;
    case Kind::Wheel:
        events::MouseWheel(window, int32_t(command.count * 120));
        break;
    case Kind::FocusLost:
        events::Focus(window, false);
        break;
    case Kind::FocusGained:
        events::Focus(window, true);
        break;
    case Kind::Close:
        events::CloseButton(window);
        break;
    case Kind::Resize:
        events::Resized(window, command.x, command.y);
        break;
    default:
        break;
    }
    return true;
}

}  // namespace media::platform
