// Writing the battle's log lines. A line is assembled piece by piece (names,
// fixed texts, decimal numbers) and handed to the log as one text.
//
// When the log has no directory every text would be dropped, so callers ask
// BattleLogEnabled() first and skip assembling altogether; the battle itself
// (and every random draw) must not depend on that choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "media/core/system_state.h"

inline bool BattleLogEnabled()
{
    return media::systemState.logDirectory[0] != '\0';
}

// Writes a fixed text when the log is on.
void WriteBattleLog(const char* text);

class BattleLogLine {
public:
    // The log formats into 1024 bytes; a longer line is cut there.
    static constexpr size_t Capacity = 1023;

    BattleLogLine() { text_[0] = '\0'; }

    BattleLogLine& operator<<(const char* text);
    BattleLogLine& operator<<(const std::string& text);
    BattleLogLine& operator<<(int32_t number);

    // Hands the line to the log as plain text (never as a format).
    void Write() const;

    const char* text() const { return text_; }
    size_t length() const { return length_; }

private:
    void Append(const char* data, size_t size);

    char text_[Capacity + 1];  // filled as pieces arrive
    size_t length_ = 0;
    bool cut_ = false;
};
