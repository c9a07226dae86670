#include "app/battle_log.h"

#include <charconv>
#include <cstring>

#include "media/log/log.h"

void WriteBattleLog(const char* text)
{
    if (BattleLogEnabled())
        media::LogPrintf("%s", text);
}

void BattleLogLine::Append(const char* data, size_t size)
{
    const size_t room = Capacity - length_;
    if (size > room) {
        size = room;
        cut_ = true;
    }
    std::memcpy(text_ + length_, data, size);
    length_ += size;
    text_[length_] = '\0';
}

BattleLogLine& BattleLogLine::operator<<(const char* text)
{
    Append(text, std::strlen(text));
    return *this;
}

BattleLogLine& BattleLogLine::operator<<(const std::string& text)
{
    // A name is a C string to the log: it ends at its first zero byte.
    Append(text.c_str(), std::strlen(text.c_str()));
    return *this;
}

BattleLogLine& BattleLogLine::operator<<(int32_t number)
{
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    Append(digits, size_t(result.ptr - digits));
    return *this;
}

void BattleLogLine::Write() const
{
    if (!cut_) {
        media::LogPrintf("%s", text_);
        return;
    }
    // Cut like the log's own formatting: never leave half a double-byte character.
    size_t keep = 0;
    for (size_t i = 0; i < length_;) {
        const size_t step = media::IsLeadByte(uint8_t(text_[i]), media::systemState.characterSet) ? 2 : 1;
        if (i + step > length_)
            break;
        i += step;
        keep = i;
    }
    media::LogPrintf("%.*s", int(keep), text_);
}
