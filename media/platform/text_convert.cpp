// Shift-JIS text for the world outside (window titles, terminals).
#include "media/platform/platform_state.h"

#include <cerrno>
#include <iconv.h>

namespace media::platform {

// ---------------------------------------------------------------- text

std::string ShiftJisToUtf8(const std::string& text)
{
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == iconv_t(-1))
        return text;
    std::string result;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, size_t(out - buffer));
        if (done == size_t(-1) && errno != E2BIG) {
            // A byte that is no Shift-JIS character: show it as '?' and go on.
            result += '?';
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return result;
}

bool Utf8ToShiftJis(const std::string& text, std::string* out)
{
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == iconv_t(-1))
        return false;
    std::string result(text.size() + 1, '\0');  // never longer than the UTF-8
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* to = result.data();
    size_t toLeft = result.size();
    const size_t done = iconv(converter, &in, &inLeft, &to, &toLeft);
    iconv_close(converter);
    if (done == size_t(-1) || inLeft != 0)
        return false;
    result.resize(result.size() - toLeft);
    *out = result;
    return true;
}

}  // namespace media::platform
