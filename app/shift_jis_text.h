// Strict conversions between UTF-8 (battle data files) and the Shift-JIS the
// engine holds (code page 932, both ways, so that a round trip keeps every
// byte). Unlike the media layer's display conversion, nothing is replaced.
#pragma once

#include <string>

// False when the text is not UTF-8 or holds a character Shift-JIS cannot write.
bool Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis);
// False when the bytes are not Shift-JIS.
bool ShiftJisToUtf8Strict(const std::string& shiftJis, std::string* utf8);
