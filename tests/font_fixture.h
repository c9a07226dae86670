// A software screen with the font layer started, a log in a private folder,
// and FreeType's own rendering of the same glyphs to compare text against.
#pragma once

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <string>
#include <vector>

#include "graphics_fixture.h"
#include "log_fixture.h"
#include "media/font/font.h"
#include "media/font/text.h"
#include "media/graphics/graphics_hooks.h"
#include "media/platform/font_raster.h"

namespace testing_support {

inline void StartFontScreen(int width, int height, int depth, const std::string& logDir)
{
    media::InstallFontHooks();
    StartSoftwareScreen(width, height, depth);
    // The screen start cleared the system state, the log's place with it.
    ASSERT_TRUE(media::SetLogLocation(logDir.c_str(), "Log.txt"));
    media::LogStart();
}

inline void StopFontScreen()
{
    StopSoftwareScreen();
    media::InitFontSystemHook = nullptr;
    media::EndFontSystemHook = nullptr;
    media::SaveDefaultFontHook = nullptr;
    media::RestoreDefaultFontHook = nullptr;
    media::RecreateFontsHook = nullptr;
}

// A glyph as FreeType renders it with the flags the rasteriser uses.
struct ReferenceGlyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> value;  // per pixel: 0/1 (mono) or FreeType's gray 0..255
    int At(int x, int y) const { return value[size_t(y) * size_t(width) + size_t(x)]; }
};

class ReferenceFace {
public:
    ReferenceFace(const std::string& file, int pixelSize)
    {
        FT_Init_FreeType(&library_);
        if (FT_New_Face(library_, file.c_str(), 0, &face_) == 0)
            FT_Set_Pixel_Sizes(face_, 0, FT_UInt(pixelSize));
    }
    ~ReferenceFace()
    {
        if (face_)
            FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    bool Ok() const { return face_ != nullptr; }

    ReferenceGlyph Glyph(uint32_t unicode, bool mono) const
    {
        ReferenceGlyph g;
        const FT_UInt index = FT_Get_Char_Index(face_, unicode);
        FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL));
        g.advance = int((face_->glyph->advance.x + 32) >> 6);
        if (face_->glyph->outline.n_points == 0)
            return g;
        FT_Render_Glyph(face_->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL);
        const FT_Bitmap& b = face_->glyph->bitmap;
        g.left = face_->glyph->bitmap_left;
        g.top = face_->glyph->bitmap_top;
        g.width = int(b.width);
        g.rows = int(b.rows);
        g.value.resize(size_t(g.width) * size_t(g.rows));
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                const uint8_t* row = b.buffer + y * b.pitch;
                g.value[size_t(y) * g.width + x] = mono ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x];
            }
        return g;
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

// The face file behind a font handle.
inline std::string FaceFile(media::FontHandle font)
{
    std::string file;
    const media::FontRecord* r = media::FindFont(font);
    if (r)
        media::platform::DescribeRasterFont(r->gdiFont, &file, nullptr);
    return file;
}

}  // namespace testing_support
