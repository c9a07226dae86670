#include "app/version.h"

// Rewritten at every build (cmake/write_commit.cmake), so the commit is the
// one built, not the one configured.
#include "korvanta_commit.h"

std::string VersionText(const char* program)
{
    std::string text = std::string(program) + " " KORVANTA_VERSION;
    if (KORVANTA_COMMIT[0] != '\0')
        text += " (commit " KORVANTA_COMMIT ")";
    return text + "\n";
}
