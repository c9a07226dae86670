#include "app/screen_dump.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "media/graphics/screen.h"

namespace {

constexpr int KeyF9 = 0x43;

int dumpsWritten = 0;
int32_t lastScreen = 0;

// The words of the whole back screen in the file layout of
// tools/gl_compare_probe: a header line, then little-endian words.
void WriteScreen(const std::string& path, const std::string& name)
{
    const int width = media::ScreenWidth(), height = media::ScreenHeight();
    std::vector<uint32_t> words(size_t(width) * size_t(height));
    if (!media::ReadTargetWords(media::ScreenBack, 0, 0, width, height, words.data()))
        return;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fprintf(file, "case %s 0 0 0 %d %d %d\n", name.c_str(), width, height, media::ScreenDepth());
    for (uint32_t word : words) {
        const unsigned char bytes[4] = {static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
                                        static_cast<unsigned char>(word >> 16),
                                        static_cast<unsigned char>(word >> 24)};
        std::fwrite(bytes, 1, 4, file);
    }
    std::fclose(file);
}

}  // namespace

void DumpScreenWhenAsked(int32_t screenDrawn)
{
    static const char* folder = std::getenv("KORVANTA_SCREEN_DUMP");
    if (!folder || !*folder)
        return;
    const bool battleBegins = screenDrawn == BattleScreen && lastScreen != BattleScreen;
    lastScreen = screenDrawn;
    if (!battleBegins && KeyPressCounter[KeyF9] != 1)
        return;
    ++dumpsWritten;
    const std::string name = (screenDrawn == BattleScreen ? "battle" : "preparation") +
                             std::string(battleBegins ? "-start" : "-") +
                             (battleBegins ? "" : std::to_string(dumpsWritten));
    WriteScreen(std::string(folder) + "/" + name + ".words", name);
}
