// printf onto the end of a string, for the statistics' reports.
#pragma once

#include <string>

// Appends the formatted text (at most 511 bytes of it).
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
