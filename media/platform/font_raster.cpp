#include "media/platform/font_raster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "media/platform/platform.h"

namespace media::platform {

namespace {

FT_Library library = nullptr;
bool libraryFailed = false;
FcConfig* configuration = nullptr;

struct FaceLocation {
    std::string file;
    int32_t index = 0;
};

// Face lookups are slow next to everything else here; fonts are made again
// at every graphics start, so the answers are kept until the configuration
// is reloaded.
using LookupKey = std::tuple<std::string, std::string, bool, bool>;  // family, language, bold, italic
std::map<LookupKey, FaceLocation> lookups;
std::map<LookupKey, bool> failedLookups;

FcConfig* Configuration()
{
    if (!configuration)
        configuration = FcInitLoadConfigAndFonts();
    return configuration;
}

const char* LanguageOf(int32_t charsetCode)
{
    switch (charsetCode) {
    case 2:
        return "ko";
    case 3:
        return "zh-tw";
    case 4:
        return "zh-cn";
    default:
        return "ja";  // the default character set is the system's: Japanese
    }
}

const char* CodePageOf(int32_t charsetCode)
{
    switch (charsetCode) {
    case 2:
        return "CP949";
    case 3:
        return "CP950";
    case 4:
        return "CP936";
    default:
        return "CP932";
    }
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The Gothic face of the system under its Japanese, half-width and romanised
// spellings: full-width letters and spaces are folded first.
bool IsGothicAlias(const std::string& utf8)
{
    std::string folded;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        // U+FF01..U+FF5E (EF BC 81 .. EF BD 9E): full-width ASCII.
        if (c == 0xEF && i + 2 < utf8.size()) {
            const unsigned char c1 = static_cast<unsigned char>(utf8[i + 1]);
            const unsigned char c2 = static_cast<unsigned char>(utf8[i + 2]);
            const unsigned codePoint = 0xF000u | (c1 & 0x3Fu) << 6 | (c2 & 0x3Fu);
            if (codePoint >= 0xFF01 && codePoint <= 0xFF5E) {
                folded += char(codePoint - 0xFF01 + 0x21);
                i += 3;
                continue;
            }
        }
        // U+3000 (E3 80 80): ideographic space.
        if (c == 0xE3 && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
            static_cast<unsigned char>(utf8[i + 2]) == 0x80) {
            i += 3;
            continue;
        }
        if (c != ' ')
            folded += char(c);
        ++i;
    }
    folded = Lower(folded);
    // UTF-8 bytes of "ゴシック" and of its half-width "ｺﾞｼｯｸ".
    return folded.empty() || folded == "ms\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF" ||
           folded == "ms\xEF\xBD\xBA\xEF\xBE\x9E\xEF\xBD\xBC\xEF\xBD\xAF\xEF\xBD\xB8" || folded == "msgothic";
}

bool FamilyMatches(FcPattern* match, const std::string& family)
{
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (Lower(reinterpret_cast<const char*>(name)) == Lower(family))
            return true;
    }
    return false;
}

bool CoversLanguage(FcPattern* match, const char* language)
{
    FcLangSet* languages = nullptr;
    if (FcPatternGetLangSet(match, FC_LANG, 0, &languages) != FcResultMatch)
        return false;
    return FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>(language)) != FcLangDifferentLang;
}

enum class Acceptance { SameFamily, FamilyOrLanguage, Anything };

// Asks fontconfig; the match is taken only as the acceptance allows.
bool Lookup(const std::string& family, const char* language, bool bold, bool italic, Acceptance acceptance,
            FaceLocation* location)
{
    const LookupKey key{family, std::string(language) + char('0' + int(acceptance)), bold, italic};
    if (auto found = lookups.find(key); found != lookups.end()) {
        *location = found->second;
        return true;
    }
    if (failedLookups.count(key))
        return false;

    FcConfig* config = Configuration();
    bool ok = false;
    if (config) {
        FcPattern* pattern = FcPatternCreate();
        if (!family.empty())
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcLangSet* languages = FcLangSetCreate();
        FcLangSetAdd(languages, reinterpret_cast<const FcChar8*>(language));
        FcPatternAddLangSet(pattern, FC_LANG, languages);
        FcLangSetDestroy(languages);
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        if (match) {
            FcChar8* file = nullptr;
            int index = 0;
            bool accepted = acceptance == Acceptance::Anything || FamilyMatches(match, family);
            if (!accepted && acceptance == Acceptance::FamilyOrLanguage)
                accepted = CoversLanguage(match, language);
            if (accepted && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                location->file = reinterpret_cast<const char*>(file);
                location->index = index;
                ok = true;
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    if (ok)
        lookups[key] = *location;
    else
        failedLookups[key] = true;
    return ok;
}

bool FindFace(const RasterFontRequest& request, bool bold, FaceLocation* location)
{
    const char* language = LanguageOf(request.charsetCode);
    if (!request.faceName)
        return Lookup("", language, bold, request.italic, Acceptance::Anything, location);
    const std::string family = ShiftJisToUtf8(request.faceName);
    const bool japanese = std::strcmp(language, "ja") == 0;
    // IPAGothic has no Hangul and not all of either Chinese: the Gothic of a
    // Korean or Chinese character set is whatever face covers its language.
    const bool gothic = IsGothicAlias(family);
    if (gothic && !family.empty() && !japanese &&
        Lookup("", language, bold, request.italic, Acceptance::FamilyOrLanguage, location))
        return true;
    if (gothic)
        return Lookup("IPAGothic", language, bold, request.italic, Acceptance::SameFamily, location);
    // fontconfig answers a default face for any family it does not know;
    // text must never come out as boxes, so that answer is refused unless it
    // covers the language.
    if (Lookup(family, language, bold, request.italic, Acceptance::FamilyOrLanguage, location))
        return true;
    return Lookup("IPAGothic", language, bold, request.italic, Acceptance::SameFamily, location);
}

}  // namespace

struct RasterFont {
    FT_Face face = nullptr;
    FaceLocation location;
    iconv_t converter = iconv_t(-1);
    RasterTextMetrics metrics;
    FT_Pos emboldenStrength = 0;  // 26.6; 0 when the face's own weight is used
    FT_Pos emboldenAdvance = 0;   // 26.6, added to every advance
    bool slant = false;
    // The last glyph rendered, so that a size query and the bitmap request
    // that follows it render once.
    bool haveLast = false;
    uint32_t lastCode = 0;
    GlyphFormat lastFormat = GlyphFormat::Bitmap;
    RasterGlyphMetrics lastMetrics;
    std::vector<uint8_t> lastBitmap;
    int32_t lastResult = -1;
};

namespace {
bool simulatedFailure = false;
uint32_t refusedCode = 0;
}  // namespace

void SimulateRasterSystemFailure(bool fail)
{
    simulatedFailure = fail;
}

void SimulateRefusedGlyph(uint32_t code)
{
    refusedCode = code;
}

bool RasterSystemReady()
{
    if (simulatedFailure)
        return false;
    if (!library && !libraryFailed)
        libraryFailed = FT_Init_FreeType(&library) != 0;
    return library != nullptr;
}

void ReloadFontConfiguration()
{
    if (configuration)
        FcConfigDestroy(configuration);
    configuration = nullptr;
    lookups.clear();
    failedLookups.clear();
}

RasterFont* CreateRasterFont(const RasterFontRequest& request)
{
    if (!RasterSystemReady())
        return nullptr;
    const bool bold = request.weight >= 700;
    FaceLocation location;
    if (!FindFace(request, bold, &location))
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, location.file.c_str(), location.index, &face) != 0)
        return nullptr;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }

    // A positive size is the cell height: ascent + descent of the face.
    const int64_t unitsAscent = face->ascender;
    int64_t unitsCell = int64_t(face->ascender) - face->descender;
    if (unitsCell <= 0)
        unitsCell = face->units_per_EM;
    const int32_t size = request.size == 0 ? 16 : request.size;
    const double cell = size > 0 ? double(size) : double(-size) * double(unitsCell) / face->units_per_EM;
    const double emPixels = cell * face->units_per_EM / double(unitsCell);
    if (!(emPixels >= 1.0 && emPixels <= 2048.0) ||
        FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(emPixels * 64.0)), 72, 72) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }

    auto* font = new RasterFont;
    font->face = face;
    font->location = location;
    const int32_t height = int32_t(std::lround(cell));
    font->metrics.ascent = int32_t(std::lround(cell * double(unitsAscent) / double(unitsCell)));
    font->metrics.descent = height - font->metrics.ascent;
    font->metrics.height = height;
    // Bold and italic faces are used as they are; otherwise FreeType thickens
    // or slants the regular outlines.
    if (bold && !(face->style_flags & FT_STYLE_FLAG_BOLD)) {
        const double steps = std::max(1, (std::min(request.weight, 900) - 600) / 100);
        const double pixels = std::max(1.0, std::round(emPixels * steps / 24.0));
        font->emboldenStrength = FT_Pos(pixels * 64);
        font->emboldenAdvance = FT_Pos(pixels * 64);
    }
    font->slant = request.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    const FT_Pos maxAdvance = FT_MulFix(face->max_advance_width, face->size->metrics.x_scale);
    font->metrics.maxCharWidth = int32_t((maxAdvance + font->emboldenAdvance + 32) >> 6);
    font->converter = iconv_open("UTF-32LE", CodePageOf(request.charsetCode));
    return font;
}

void DeleteRasterFont(RasterFont* font)
{
    if (!font)
        return;
    if (font->converter != iconv_t(-1))
        iconv_close(font->converter);
    FT_Done_Face(font->face);
    delete font;
}

bool GetRasterTextMetrics(const RasterFont* font, RasterTextMetrics* metrics)
{
    if (!font || !metrics)
        return false;
    *metrics = font->metrics;
    return true;
}

bool DescribeRasterFont(const RasterFont* font, std::string* file, int32_t* faceIndex)
{
    if (!font)
        return false;
    if (file)
        *file = font->location.file;
    if (faceIndex)
        *faceIndex = font->location.index;
    return true;
}

namespace {

// The Unicode character of a code in the font's code page; 0 when it does not
// convert (a lone lead byte, an unassigned pair).
uint32_t ToUnicode(RasterFont* font, uint32_t code)
{
    if (font->converter == iconv_t(-1))
        return 0;
    char bytes[2];
    size_t length = 0;
    if (code > 0xFF) {
        bytes[length++] = char(code >> 8);
        bytes[length++] = char(code & 0xFF);
    } else {
        bytes[length++] = char(code);
    }
    uint8_t out[8] = {};
    char* in = bytes;
    char* outPointer = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(font->converter, nullptr, nullptr, nullptr, nullptr);
    const size_t done = iconv(font->converter, &in, &length, &outPointer, &outLeft);
    if (done == size_t(-1) || length != 0 || outLeft > sizeof out - 4)
        return 0;
    return uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 | uint32_t(out[3]) << 24;
}

int32_t Render(RasterFont* font, uint32_t code, GlyphFormat format, RasterGlyphMetrics* metrics,
               std::vector<uint8_t>* bitmap)
{
    FT_Face face = font->face;
    const uint32_t character = ToUnicode(font, code);
    const FT_UInt glyph = character ? FT_Get_Char_Index(face, character) : 0;  // 0: the missing-glyph box
    const bool mono = format == GlyphFormat::Bitmap;
    const FT_Int32 loadFlags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(face, glyph, loadFlags) != 0)
        return -1;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return -1;
    if (font->slant) {
        const FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
        FT_Outline_Transform(&slot->outline, &shear);
    }
    if (font->emboldenStrength)
        FT_Outline_EmboldenXY(&slot->outline, font->emboldenStrength, 0);
    const int32_t advance = int32_t((slot->advance.x + font->emboldenAdvance + 32) >> 6);

    *metrics = RasterGlyphMetrics{};
    metrics->cellIncX = advance;
    bitmap->clear();
    if (slot->outline.n_points == 0)
        return 0;
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return -1;
    const FT_Bitmap& b = slot->bitmap;
    if (b.width == 0 || b.rows == 0)
        return 0;
    metrics->blackBoxX = int32_t(b.width);
    metrics->blackBoxY = int32_t(b.rows);
    metrics->originX = slot->bitmap_left;
    metrics->originY = slot->bitmap_top;

    const uint32_t rowBytes = mono ? (b.width + 31) / 32 * 4 : (b.width + 3) & ~3u;
    bitmap->assign(size_t(rowBytes) * b.rows, 0);
    for (uint32_t y = 0; y < b.rows; ++y) {
        const uint8_t* from = b.buffer + int64_t(y) * b.pitch;
        uint8_t* to = bitmap->data() + size_t(y) * rowBytes;
        if (mono) {
            std::memcpy(to, from, (b.width + 7) / 8);
        } else {
            for (uint32_t x = 0; x < b.width; ++x)
                to[x] = CoverageLevel(from[x]);
        }
    }
    return int32_t(bitmap->size());
}

}  // namespace

int32_t GetRasterGlyph(RasterFont* font, uint32_t code, GlyphFormat format, RasterGlyphMetrics* metrics,
                       uint32_t bufferSize, void* buffer)
{
    if (!font || !metrics || (refusedCode != 0 && code == refusedCode))
        return -1;
    if (!font->haveLast || font->lastCode != code || font->lastFormat != format) {
        font->lastResult = Render(font, code, format, &font->lastMetrics, &font->lastBitmap);
        font->haveLast = true;
        font->lastCode = code;
        font->lastFormat = format;
    }
    if (font->lastResult < 0) {
        font->haveLast = false;
        return -1;
    }
    *metrics = font->lastMetrics;
    if (buffer) {
        if (bufferSize < font->lastBitmap.size())
            return -1;
        std::memcpy(buffer, font->lastBitmap.data(), font->lastBitmap.size());
        font->haveLast = false;  // the pair of calls is done
    }
    return font->lastResult;
}

}  // namespace media::platform
