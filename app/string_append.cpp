#include "app/string_append.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

void AppendFormat(std::string& out, const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length > 0)
        out.append(buffer, std::min<size_t>(size_t(length), sizeof buffer - 1));
}
