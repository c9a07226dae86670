#include "app/shift_jis_text.h"

#include <iconv.h>

#include <cerrno>

namespace {

bool Convert(const char* to, const char* from, const std::string& text, std::string* result)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == iconv_t(-1))
        return false;
    result->clear();
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    bool ok = true;
    while (ok && inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result->append(buffer, size_t(out - buffer));
        if (done == size_t(-1) && errno != E2BIG)
            ok = false;
    }
    if (ok) {
        // Ends any shift state (none in these encodings, but iconv asks for it).
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        ok = iconv(converter, nullptr, nullptr, &out, &outLeft) != size_t(-1);
        result->append(buffer, size_t(out - buffer));
    }
    iconv_close(converter);
    return ok;
}

}  // namespace

bool Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis)
{
    return Convert("CP932", "UTF-8", utf8, shiftJis);
}

bool ShiftJisToUtf8Strict(const std::string& shiftJis, std::string* utf8)
{
    return Convert("UTF-8", "CP932", shiftJis, utf8);
}
