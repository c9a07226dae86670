// Loading image files into handles: formats and alpha, the "_a" pictures,
// failure lines, file-name records, reload, and the file layer's streams.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "graphics_fixture.h"
#include "image_fixture.h"
#include "media/graphics/graphics_hooks.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/image/picture_fallback.h"
#include "media_fixture.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"
#include "media/files/program_path.h"
#include "media/platform/file.h"

namespace {

using namespace testing_support;
using media::Rgba;

void CopyFile(const std::string& from, const std::string& to)
{
    const std::string bytes = ReadFile(from);
    ASSERT_FALSE(bytes.empty()) << from;
    FILE* f = std::fopen(to.c_str(), "wb");
    ASSERT_NE(f, nullptr) << to;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A software screen of the given depth in a private folder holding the log
// and a PIC folder with pictures.
class ImageLoadTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        saved_ = cwd;
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        ASSERT_EQ(mkdir("PIC", 0755), 0);
        StartSoftwareScreen(64, 48, GetParam());
        ASSERT_TRUE(media::SetLogLocation(dir_.c_str(), "Log.txt"));
        media::LogStart();
    }
    void TearDown() override
    {
        media::SetPictureFallbackFolder("");
        StopSoftwareScreen();
        EXPECT_EQ(chdir(saved_.c_str()), 0);
        if (std::system(("rm -rf '" + dir_ + "'").c_str()) != 0) {
        }
    }
    std::vector<std::string> Lines() const { return LinesWithoutTimestamps(ReadFile(dir_ + "/Log.txt")); }
    bool LogHas(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static bool HasAlpha(media::ImageHandle image)
    {
        const media::ImageEntry* entry = media::FindImage(image);
        return entry && entry->body && entry->body->hasAlpha;
    }
    // The stored pixel as 8-bit channels.
    static Rgba Stored(media::ImageHandle image, int x, int y)
    {
        const media::PixelRegion r = ImagePixels(image);
        return media::ReadPixel(*r.format, r.At(x, y));
    }
    // What the screen format stores for a colour (channels keep their high bits).
    static Rgba AsStored(media::ImageHandle image, Rgba colour)
    {
        const media::PixelRegion r = ImagePixels(image);
        uint8_t word[4];
        media::WritePixel(*r.format, word, colour);
        return media::ReadPixel(*r.format, word);
    }

    std::string dir_, saved_;
};

#define EXPECT_SAME_RGBA(got, want)                                                                     \
    do {                                                                                                \
        const Rgba g_ = (got), w_ = (want);                                                             \
        EXPECT_TRUE(g_.r == w_.r && g_.g == w_.g && g_.b == w_.b && g_.a == w_.a)                       \
            << Describe(g_) << " vs " << Describe(w_);                                                  \
    } while (0)

TEST_P(ImageLoadTest, PngAlphaAndTransparencyDecideWhetherTheImageHasAlpha)
{
    // Grey keeps no alpha, neither from its own channel nor from tRNS.
    const struct {
        const char* file;
        bool alpha;
    } cases[] = {{"png_rgba.png", true},         {"png_rgb.png", false},         {"png_rgb_trns.png", true},
                 {"png_palette.png", false},     {"png_palette_trns.png", true}, {"png_grey_alpha.png", false},
                 {"png_grey.png", false},        {"png_grey_trns.png", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CopyFile(ImageDataDir() + c.file, "PIC/p.png");
        const media::ImageHandle image = media::LoadImageToHandle(".\\PIC\\p.png", 0);
        ASSERT_GE(image, 0);
        EXPECT_EQ(HasAlpha(image), c.alpha);
        RgbaPicture reference;
        ASSERT_TRUE(ReadReferencePng("PIC/p.png", &reference));
        for (int y = 0; y < reference.height; ++y)
            for (int x = 0; x < reference.width; ++x) {
                const uint8_t* p = reference.At(x, y);
                const Rgba want = AsStored(image, {p[0], p[1], p[2], c.alpha ? p[3] : uint8_t(255)});
                EXPECT_SAME_RGBA(Stored(image, x, y), want);
            }
        media::DeleteImage(image);
    }
}

// A PNG without alpha or tRNS drawn with trans hides its black pixels; one
// with alpha blends by it.
TEST_P(ImageLoadTest, OpaquePngDrawnWithTransHidesBlack)
{
    // pattern.png without its alpha channel: pixel (0, 0) is black.
    CopyFile(ImageDataDir() + "im_rgb.png", "PIC/rgb.png");
    const media::ImageHandle image = media::LoadImageToHandle("PIC\\rgb.png", 0);
    ASSERT_GE(image, 0);
    ASSERT_FALSE(HasAlpha(image));
    ASSERT_EQ(Stored(image, 0, 0).r + Stored(image, 0, 0).g + Stored(image, 0, 0).b, 0);
    media::FillRegion(ScreenPixels(), media::EncodeColor(*ScreenPixels().format, {200, 100, 50, 255}));
    ASSERT_EQ(media::DrawImage(0, 0, image, 1), 0);
    const media::Rgba under = media::ReadPixel(*ScreenPixels().format, ScreenPixels().At(0, 0));
    EXPECT_NE(under.r + under.g + under.b, 0);  // the black pixel was not drawn
    const media::Rgba drawn = media::ReadPixel(*ScreenPixels().format, ScreenPixels().At(5, 0));
    EXPECT_SAME_RGBA(drawn, AsStored(image, Stored(image, 5, 0)));
}

TEST_P(ImageLoadTest, EveryFormatReachesTheScreenFormatAndTheFlagChangesNothing)
{
    for (const char* file : {"tga_t2_32_top.tga", "bgra16.bgra", "dds_a8r8g8b8.dds", "pattern.png"}) {
        SCOPED_TRACE(file);
        CopyFile(ImageDataDir() + file, std::string("PIC/") + file);
        const std::string path = std::string("PIC\\") + file;
        const media::ImageHandle first = media::LoadImageToHandle(path.c_str(), 0);
        const media::ImageHandle second = media::LoadImageToHandle(path.c_str(), 1);
        ASSERT_GE(first, 0);
        ASSERT_GE(second, 0);
        EXPECT_TRUE(HasAlpha(first));
        EXPECT_EQ(Snapshot(ImagePixels(first)), Snapshot(ImagePixels(second)));
        for (int y = 0; y < PatternHeight; ++y)
            for (int x = 0; x < PatternWidth; ++x)
                EXPECT_SAME_RGBA(Stored(first, x, y), AsStored(first, file[0] == 't' ? TgaPixel(x, y) : Pattern(x, y)));
    }
}

TEST_P(ImageLoadTest, AlphaPictureIsFoundOnlyByTheFirstDotRule)
{
    CopyFile(ImageDataDir() + "png_rgb.png", "PIC/b.png");
    CopyFile(ImageDataDir() + "png_grey.png", "PIC/b_a.png");  // grey: its red is the alpha
    const media::ImageHandle dotted = media::LoadImageToHandle(".\\PIC\\b.png", 0);
    ASSERT_GE(dotted, 0);
    EXPECT_FALSE(HasAlpha(dotted));

    const media::ImageHandle plain = media::LoadImageToHandle("PIC\\b.png", 0);
    ASSERT_GE(plain, 0);
    EXPECT_TRUE(HasAlpha(plain));
    RgbaPicture colour, alpha;
    ASSERT_TRUE(ReadReferencePng("PIC/b.png", &colour));
    ASSERT_TRUE(ReadReferencePng("PIC/b_a.png", &alpha));
    ASSERT_EQ(colour.width, alpha.width);
    for (int y = 0; y < colour.height; ++y)
        for (int x = 0; x < colour.width; ++x) {
            const uint8_t* c = colour.At(x, y);
            EXPECT_SAME_RGBA(Stored(plain, x, y), AsStored(plain, {c[0], c[1], c[2], alpha.At(x, y)[0]}));
        }

    // An alpha picture of another size makes the load fail.
    CopyFile(ImageDataDir() + "pattern.png", "PIC/b_a.png");
    EXPECT_EQ(media::LoadImageToHandle("PIC\\b.png", 0), -1);
}

TEST_P(ImageLoadTest, FailuresWriteTheirLines)
{
    EXPECT_EQ(media::LoadImageToHandle("PIC\\none.png", 0), -1);
    EXPECT_TRUE(LogHas("グラフィックファイル PIC\\none.png がありません"));

    FILE* f = std::fopen("PIC/text.png", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a picture", f);
    std::fclose(f);
    EXPECT_EQ(media::LoadImageToHandle("PIC\\text.png", 0), -1);
    const auto lines = Lines();
    const auto at = std::find(lines.begin(), lines.end(), "右記のグラフィックファイルのロードに失敗しました：PIC\\text.png ");
    ASSERT_NE(at, lines.end());
    ASSERT_NE(at + 1, lines.end());
    EXPECT_EQ(*(at + 1), "");  // the text's own line break and the writer's

    StopSoftwareScreen();
    CopyFile(ImageDataDir() + "pattern.png", "PIC/b.png");
    EXPECT_EQ(media::LoadImageToHandle("PIC\\b.png", 0), -1);  // graphics not started
    StartSoftwareScreen(64, 48, GetParam());
}

TEST_P(ImageLoadTest, LoadedImagesRecordTheirAbsolutePathAndReloadFromIt)
{
    CopyFile(ImageDataDir() + "pattern.png", "PIC/b.png");
    ASSERT_EQ(mkdir("sub", 0755), 0);
    ASSERT_EQ(chdir("sub"), 0);
    const media::ImageHandle image = media::LoadImageToHandle("..\\sub\\.\\..\\PIC\\b.png", 0);
    ASSERT_EQ(chdir(".."), 0);
    ASSERT_GE(image, 0);
    const media::ImageEntry* entry = media::FindImage(image);
    ASSERT_NE(entry->fileName, nullptr);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(entry->fileName->path), std::string(cwd) + "/PIC/b.png");

    // A part of the image shares the record; both are refilled from the file.
    const media::ImageHandle part = media::DeriveImage(4, 2, 5, 4, image);
    ASSERT_GE(part, 0);
    const auto before = Snapshot(ImagePixels(image));
    media::FillRegion(ImagePixels(image), 0);
    media::ReloadImageFiles();
    EXPECT_EQ(Snapshot(ImagePixels(image)), before);
    EXPECT_TRUE(LogHas("グラフィックを復帰します"));

    // A file gone at reload time leaves its images as they were.
    media::FillRegion(ImagePixels(part), 0);
    ASSERT_EQ(unlink("PIC/b.png"), 0);
    media::ReloadImageFiles();
    EXPECT_TRUE(LogHas("ファイル:" + std::string(cwd) + "/PIC/b.png がロードできませんでした"));
    EXPECT_EQ(Stored(part, 0, 0).r, 0);
}

// Adjacent entries of one file that cannot be read again are tried once,
// with one line.
TEST_P(ImageLoadTest, AdjacentEntriesOfAFailedFileAreReadOnce)
{
    CopyFile(ImageDataDir() + "pattern.png", "PIC/b.png");
    const media::ImageHandle image = media::LoadImageToHandle("PIC\\b.png", 0);
    ASSERT_GE(image, 0);
    std::vector<media::ImageHandle> parts;
    for (int i = 0; i < 3; ++i) {
        parts.push_back(media::DeriveImage(i, 0, 2, 2, image));
        ASSERT_GE(parts.back(), 0);
    }
    ASSERT_EQ(unlink("PIC/b.png"), 0);
    media::ReloadImageFiles();
    const std::string failed = "ファイル:" + dir_ + "/PIC/b.png がロードできませんでした";
    const auto lines = Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), failed), 1);
}

// A reload reads the alpha picture the load merged, by its recorded name,
// and no other: "_a" inserted into the absolute path would land in a folder
// name with a dot.
TEST_P(ImageLoadTest, ReloadKeepsTheAlphaPictureOfTheLoadInAFolderWithADot)
{
    ASSERT_EQ(mkdir("game.v2", 0755), 0);
    ASSERT_EQ(mkdir("game.v2/PIC", 0755), 0);
    ASSERT_EQ(mkdir("game_a.v2", 0755), 0);
    ASSERT_EQ(mkdir("game_a.v2/PIC", 0755), 0);
    CopyFile(ImageDataDir() + "png_rgb.png", "game.v2/PIC/a.png");
    CopyFile(ImageDataDir() + "png_grey.png", "game.v2/PIC/a_a.png");
    // c.png has alpha of its own and no alpha picture; the folder beside
    // holds a picture that the derived name would pick up.
    CopyFile(ImageDataDir() + "png_rgba.png", "game.v2/PIC/c.png");
    CopyFile(ImageDataDir() + "png_grey.png", "game_a.v2/PIC/c.png");
    ASSERT_EQ(chdir("game.v2"), 0);
    const media::ImageHandle merged = media::LoadImageToHandle("PIC\\a.png", 0);
    const media::ImageHandle own = media::LoadImageToHandle("PIC\\c.png", 0);
    ASSERT_EQ(chdir(".."), 0);
    ASSERT_GE(merged, 0);
    ASSERT_GE(own, 0);
    ASSERT_TRUE(HasAlpha(merged));
    ASSERT_NE(media::FindImage(merged)->fileName->alphaPath, nullptr);
    EXPECT_EQ(std::string(media::FindImage(merged)->fileName->alphaPath), dir_ + "/game.v2/PIC/a_a.png");
    EXPECT_EQ(media::FindImage(own)->fileName->alphaPath, nullptr);

    const auto mergedBefore = Snapshot(ImagePixels(merged));
    const auto ownBefore = Snapshot(ImagePixels(own));
    media::FillRegion(ImagePixels(merged), 0);
    media::FillRegion(ImagePixels(own), 0);
    media::ReloadImageFiles();
    EXPECT_EQ(Snapshot(ImagePixels(merged)), mergedBefore);
    EXPECT_EQ(Snapshot(ImagePixels(own)), ownBefore);

    // The recorded alpha picture gone: the pair is not read, its image kept.
    media::FillRegion(ImagePixels(merged), 0);
    ASSERT_EQ(unlink("game.v2/PIC/a_a.png"), 0);
    media::ReloadImageFiles();
    EXPECT_TRUE(LogHas("ファイル:" + dir_ + "/game.v2/PIC/a_a.png がロードできませんでした"));
    EXPECT_EQ(Stored(merged, 0, 0).r, 0);
}

// A working folder that cannot be read (deleted under the program) gives no
// record rooted at "/": the image loads, is not reloadable, and the log says why.
TEST_P(ImageLoadTest, UnreadableWorkingFolderLeavesTheImageWithoutARecord)
{
    CopyFile(ImageDataDir() + "pattern.png", "PIC/b.png");
    ASSERT_EQ(mkdir("gone", 0755), 0);
    ASSERT_EQ(chdir("gone"), 0);
    ASSERT_EQ(rmdir((dir_ + "/gone").c_str()), 0);
    const media::ImageHandle image = media::LoadImageToHandle("..\\PIC\\b.png", 0);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_GE(image, 0);
    EXPECT_EQ(media::FindImage(image)->fileName, nullptr);
    EXPECT_TRUE(LogHas("カレントディレクトリが取得できないため、グラフィックファイル ..\\PIC\\b.png は復帰できません"));
    // An absolute path needs no working folder.
    EXPECT_EQ(media::AbsoluteImagePath((dir_ + "/PIC/b.png").c_str()), dir_ + "/PIC/b.png");
}

// A file that changed size refills only what both the image and the new
// picture cover; the rest keeps its pixels.
TEST_P(ImageLoadTest, ReloadAfterTheFileChangedSizeRefillsWhatBothCover)
{
    CopyFile(ImageDataDir() + "pattern.png", "PIC/b.png");  // 11 x 7
    const media::ImageHandle image = media::LoadImageToHandle("PIC\\b.png", 0);
    ASSERT_GE(image, 0);
    // Larger: the image's whole area comes from the new picture's top left.
    CopyFile(ImageDataDir() + "png_rgba.png", "PIC/b.png");  // 13 x 9
    RgbaPicture larger;
    ASSERT_TRUE(ReadReferencePng("PIC/b.png", &larger));
    ASSERT_GT(larger.width, PatternWidth);
    ASSERT_GT(larger.height, PatternHeight);
    media::ReloadImageFiles();
    for (int y = 0; y < PatternHeight; ++y)
        for (int x = 0; x < PatternWidth; ++x) {
            const uint8_t* p = larger.At(x, y);
            EXPECT_SAME_RGBA(Stored(image, x, y), AsStored(image, {p[0], p[1], p[2], p[3]}));
        }
    // Smaller: a 2 x 1 true-colour TGA refills two pixels.
    const auto before = Stored(image, 5, 5);
    const uint8_t tga[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 32, 0x28,
                           10, 20, 30, 255, 40, 50, 60, 255};
    FILE* f = std::fopen("PIC/b.png", "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(tga, 1, sizeof tga, f);
    std::fclose(f);
    media::ReloadImageFiles();
    EXPECT_SAME_RGBA(Stored(image, 0, 0), AsStored(image, {30, 20, 10, 255}));
    EXPECT_SAME_RGBA(Stored(image, 1, 0), AsStored(image, {60, 50, 40, 255}));
    EXPECT_SAME_RGBA(Stored(image, 2, 0), AsStored(image, {larger.At(2, 0)[0], larger.At(2, 0)[1], larger.At(2, 0)[2], larger.At(2, 0)[3]}));
    EXPECT_SAME_RGBA(Stored(image, 5, 5), before);
}

TEST_P(ImageLoadTest, AnEmptyFileAndAFolderAreNoPictures)
{
    const int32_t mark = media::ImageHighWaterMark();
    FILE* f = std::fopen("PIC/empty.png", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(media::LoadImageToHandle("PIC\\empty.png", 0), -1);
    EXPECT_TRUE(LogHas("右記のグラフィックファイルのロードに失敗しました：PIC\\empty.png "));
    ASSERT_EQ(mkdir("PIC/folder.png", 0755), 0);
    EXPECT_EQ(media::LoadImageToHandle("PIC\\folder.png", 0), -1);
    EXPECT_TRUE(LogHas("グラフィックファイル PIC\\folder.png がありません"));
    EXPECT_EQ(media::ImageHighWaterMark(), mark);  // no image made
}

// A picture whose image cannot be made writes the line of the step that
// failed: on the hardware path the memory copy of the pixels (the original
// data) has a line of its own, apart from the textures'.
TEST_P(ImageLoadTest, ImagesThatCannotBeMadeWriteTheLineOfTheirCause)
{
    media::BaseImage picture;
    picture.format = media::FullColourFormat();
    picture.width = picture.height = 100;
    picture.pitch = 300;
    ASSERT_TRUE(media::AllocateBasePixels(&picture, 300 * 100));
    const std::string memoryImage = "メモリイメージの作成に失敗しました";
    const std::string originalData = "グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました";
    const std::string texture = "テクスチャの作成に失敗しました";
    const struct {
        const char* what;
        bool hardware;
        int32_t failFrom;  // 100 x 100 pixels need at least 20000 bytes
        const std::string& line;
    } cases[] = {
        {"memory image", false, 10000, memoryImage},
        {"original data", true, 10000, originalData},
        {"textures (no device)", true, 0, texture},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = Lines();
        media::displaySettings.hardwarePath = c.hardware;
        media::FailAllocationsFrom(c.failFrom);
        const media::ImageHandle image = media::CreateImageFromBase(picture, nullptr);
        media::FailAllocationsFrom(0);
        media::displaySettings.hardwarePath = false;
        EXPECT_EQ(image, -1);
        const auto after = Lines();
        for (const std::string* line : {&memoryImage, &originalData, &texture})
            EXPECT_EQ(std::count(after.begin(), after.end(), *line) - std::count(before.begin(), before.end(), *line),
                      line == &c.line ? 1 : 0)
                << *line;
    }
    media::FreeBaseImage(&picture);
}

TEST_P(ImageLoadTest, JapaneseFileNamesKeepTheirSecondByte)
{
    // 表 in Shift-JIS is 0x95 0x5C: the 0x5C is no separator.
    const std::string name = "\x95\x5C.png";
    CopyFile(ImageDataDir() + "pattern.png", "PIC/" + name);
    const media::ImageHandle image = media::LoadImageToHandle(("PIC\\" + name).c_str(), 0);
    ASSERT_GE(image, 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(media::FindImage(image)->fileName->path), std::string(cwd) + "/PIC/" + name);
}

// A Japanese name in the program's text (Shift-JIS) finds the file saved
// under its UTF-8 name, in a folder with a Japanese UTF-8 name: the picture,
// its "_a" picture and the record all name the UTF-8 files, and a reload
// reads them again. The folder's name (from the system) is never converted.
TEST_P(ImageLoadTest, ShiftJisNamesOpenTheirUtf8FilesInAJapaneseFolder)
{
    // u8 literals: the file system's names; plain literals: the program's
    // Shift-JIS text (the sources are compiled to CP932).
    const std::string folder = reinterpret_cast<const char*>(u8"ゲーム~1");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    ASSERT_EQ(mkdir(reinterpret_cast<const char*>(u8"画像"), 0755), 0);
    CopyFile(ImageDataDir() + "png_rgb.png", reinterpret_cast<const char*>(u8"画像/表.png"));
    CopyFile(ImageDataDir() + "png_grey.png", reinterpret_cast<const char*>(u8"画像/表_a.png"));
    const media::ImageHandle image = media::LoadImageToHandle("画像\\表.png", 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(".."), 0);
    ASSERT_GE(image, 0);
    EXPECT_TRUE(HasAlpha(image));
    const media::ImageEntry* entry = media::FindImage(image);
    ASSERT_NE(entry->fileName, nullptr);
    EXPECT_EQ(std::string(entry->fileName->path), std::string(cwd) + reinterpret_cast<const char*>(u8"/画像/表.png"));
    ASSERT_NE(entry->fileName->alphaPath, nullptr);
    EXPECT_EQ(std::string(entry->fileName->alphaPath),
              std::string(cwd) + reinterpret_cast<const char*>(u8"/画像/表_a.png"));

    const auto before = Snapshot(ImagePixels(image));
    media::FillRegion(ImagePixels(image), 0);
    media::ReloadImageFiles();  // from another working folder: the record is absolute
    EXPECT_EQ(Snapshot(ImagePixels(image)), before);
    EXPECT_FALSE(LogHas("ファイル:" + std::string(cwd) + reinterpret_cast<const char*>(u8"/画像/表.png") +
                        " がロードできませんでした"));

    // A missing picture is named in the log in the program's own text.
    ASSERT_EQ(chdir(folder.c_str()), 0);
    EXPECT_EQ(media::LoadImageToHandle("画像\\無い.png", 0), -1);
    ASSERT_EQ(chdir(".."), 0);
    EXPECT_TRUE(LogHas("グラフィックファイル 画像\\無い.png がありません"));
}

// A file saved under the raw Shift-JIS bytes is still found when no UTF-8
// name exists, and the UTF-8 name wins when both do.
TEST_P(ImageLoadTest, RawShiftJisNamesAreReadWhenNoUtf8NameExists)
{
    CopyFile(ImageDataDir() + "pattern.png", "PIC/表.png");  // the raw bytes
    const media::ImageHandle raw = media::LoadImageToHandle("PIC\\表.png", 0);
    ASSERT_GE(raw, 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(media::FindImage(raw)->fileName->path), std::string(cwd) + "/PIC/表.png");

    CopyFile(ImageDataDir() + "png_rgb.png", reinterpret_cast<const char*>(u8"PIC/表.png"));
    const media::ImageHandle converted = media::LoadImageToHandle("PIC\\表.png", 0);
    ASSERT_GE(converted, 0);
    EXPECT_EQ(std::string(media::FindImage(converted)->fileName->path),
              std::string(cwd) + reinterpret_cast<const char*>(u8"/PIC/表.png"));
}

// The picture fallback folder (an installed program's share/korvanta): used
// only for relative paths the working folder cannot open, the "_a" picture
// from the same folder as the picture, and the record naming the folder the
// files came from, so that a restore reads them again. The fallback folder's
// name has a dot, where an "_a" derived from the whole path would land.
TEST_P(ImageLoadTest, FallbackFolderServesRelativePicturesTheWorkingFolderLacks)
{
    const std::string share = dir_ + "/share.v2";
    ASSERT_EQ(mkdir("share.v2", 0755), 0);
    ASSERT_EQ(mkdir("share.v2/PIC", 0755), 0);
    ASSERT_EQ(mkdir("work", 0755), 0);
    ASSERT_EQ(mkdir("work/PIC", 0755), 0);
    struct Case {
        const char* name;
        std::vector<const char*> files;  // under work/ and share.v2/
        std::string path;
        bool fallbackOn;
        const char* from;  // "work", "share.v2" or nullptr: not loaded
        bool alpha;
    };
    const Case cases[] = {
        {"only the fallback has it", {"share.v2/PIC/a.png", "share.v2/PIC/a_a.png"}, "PIC\\a.png", true, "share.v2", true},
        {"the working folder wins", {"work/PIC/a.png", "share.v2/PIC/a.png", "share.v2/PIC/a_a.png"}, ".\\PIC\\a.png",
         true, "work", false},
        {"the alpha picture is not mixed in", {"share.v2/PIC/a.png", "work/PIC/a_a.png"}, "PIC\\a.png", true,
         "share.v2", false},
        {"off unless set", {"share.v2/PIC/a.png"}, "PIC\\a.png", false, nullptr, false},
        {"not for absolute paths", {"share.v2/PIC/a.png"}, "\\PIC\\a.png", true, nullptr, false},
        {"neither has it", {}, "PIC\\a.png", true, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* folder : {"work/PIC", "share.v2/PIC"})
            for (const char* name : {"/a.png", "/a_a.png"})
                unlink((std::string(folder) + name).c_str());
        for (const char* file : c.files)
            CopyFile(ImageDataDir() + (std::strstr(file, "_a.") ? "png_grey.png" : "png_rgb.png"), file);
        media::SetPictureFallbackFolder(c.fallbackOn ? share : "");
        ASSERT_EQ(chdir("work"), 0);
        const media::ImageHandle image = media::LoadImageToHandle(c.path.c_str(), 0);
        ASSERT_EQ(chdir(".."), 0);
        if (!c.from) {
            EXPECT_EQ(image, -1);
            continue;
        }
        ASSERT_GE(image, 0);
        const media::ImageFileRecord* record = media::FindImage(image)->fileName;
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(std::string(record->path), dir_ + "/" + c.from + "/PIC/a.png");
        EXPECT_EQ(HasAlpha(image), c.alpha);
        if (c.alpha) {
            ASSERT_NE(record->alphaPath, nullptr);
            EXPECT_EQ(std::string(record->alphaPath), dir_ + "/" + c.from + "/PIC/a_a.png");
        }
        // A restore (the device lost) reads the same files again from anywhere.
        const auto before = Snapshot(ImagePixels(image));
        media::FillRegion(ImagePixels(image), 0);
        ASSERT_EQ(chdir("/"), 0);
        media::ReloadImageFiles();
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        EXPECT_EQ(Snapshot(ImagePixels(image)), before);
        media::DeleteImage(image);
    }
    media::SetPictureFallbackFolder("");
    for (const std::string& line : Lines())
        EXPECT_EQ(line.find("ロードできませんでした"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageLoadTest, ::testing::Values(16, 32), DepthName);

// The two native names of a program path: the converted one only where the
// text has a byte of 0x80 or more (from CP932: 0x5C and 0x7E stay '\\' and
// '~', which SHIFT_JIS would not keep); separators only where they separate.
TEST(ImagePathTest, ConvertedNamesComeFromTheCodePageOnlyForNonAsciiText)
{
    const struct {
        const char* path;
        const char8_t* converted;  // empty: no converted name
    } cases[] = {
        {"PIC\\button.png", u8""},
        {"~\\a\\b.png", u8""},
        {"PIC\\表.png", u8"PIC/表.png"},
        {"~\\ゲーム\\表_a.png", u8"~/ゲーム/表_a.png"},
        {"\x95\x5C\\x", u8"表/x"},
        {"\xB6\\x", u8"ｶ/x"},    // half-width katakana, one byte
        {"\x81\x7F.png", u8""},   // no CP932 character
        {"\x95", u8""},            // a lone lead byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(media::ConvertedNativePath(c.path, media::CharsetShiftJis),
                  std::string(reinterpret_cast<const char*>(c.converted)))
            << c.path;
}

// Names to write: the converted name where its folder exists, the raw one
// otherwise.
TEST(ImagePathTest, WritableNamesTakeTheConvertedNameOnlyWhereItsFolderExists)
{
    const std::string dir = MakeTempDir();
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    const int32_t charset = media::systemState.characterSet;
    media::systemState.characterSet = media::CharsetShiftJis;
    EXPECT_EQ(media::WritableNativeName("ログ.txt"), reinterpret_cast<const char*>(u8"ログ.txt"));
    EXPECT_EQ(media::WritableNativeName("記録\\ログ.txt"), "記録/ログ.txt");  // no such folder: raw
    ASSERT_EQ(mkdir(reinterpret_cast<const char*>(u8"記録"), 0755), 0);
    EXPECT_EQ(media::WritableNativeName("記録\\ログ.txt"), reinterpret_cast<const char*>(u8"記録/ログ.txt"));
    media::systemState.characterSet = charset;
    ASSERT_EQ(chdir(saved), 0);
    if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) {
    }
}

TEST(ImagePathTest, AlphaNamesAndAbsolutePathsFollowTheProgramsRules)
{
    const struct {
        const char* path;
        const char* alpha;
    } names[] = {{"pic\\a.png", "pic\\a_a.png"},
                 {".\\PIC\\button.png", "_a.\\PIC\\button.png"},
                 {"PIC\\button.png", "PIC\\button_a.png"},
                 {"noext", "noext_a"},
                 {"\x95\x2E\\x.png", "\x95\x2E\\x_a.png"}};  // a trail byte 0x2E is no dot
    for (const auto& n : names)
        EXPECT_EQ(media::AlphaPictureName(n.path), n.alpha) << n.path;

    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = cwd;
    const std::string parent = here.substr(0, here.rfind('/'));
    const struct {
        const char* path;
        std::string absolute;
    } paths[] = {{".\\PIC\\button.png", here + "/PIC/button.png"},
                 {"a/./b\\..\\c.png", here + "/a/c.png"},
                 {"..\\x.png", parent + "/x.png"},
                 {"/tmp//y.png", "/tmp/y.png"},
                 {"\\..\\..\\z", "/z"},
                 {"\x95\x5C\\w", here + "/\x95\x5C/w"}};
    for (const auto& p : paths)
        EXPECT_EQ(media::AbsoluteImagePath(p.path), p.absolute) << p.path;

    const struct {
        const char* path;
        const char* native;
    } natives[] = {{".\\PIC\\button.png", "./PIC/button.png"},
                   {"PIC\\\x95\x5C.png", "PIC/\x95\x5C.png"},
                   {"\x95\x5C\\\x95\x5C", "\x95\x5C/\x95\x5C"},
                   {"\xB6\\x", "\xB6/x"}};  // half-width katakana is a character of its own
    for (const auto& n : natives)
        EXPECT_EQ(media::NativePath(n.path, media::CharsetShiftJis), n.native) << n.path;
}

class StreamTest : public LogFixture {};

TEST_F(StreamTest, ReadSeekTellAndEndOfFile)
{
    const std::string path = dir_ + "/data.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 100000; ++i)
        std::fputc(i & 255, f);
    std::fclose(f);

    const media::StreamHandle s = media::StreamOpen(path.c_str());
    ASSERT_NE(s, 0u);
    EXPECT_EQ(media::StreamSize(s), 100000);
    uint8_t buffer[16];
    EXPECT_EQ(media::StreamRead(buffer, 4, 2, s), 2u);
    EXPECT_EQ(buffer[5], 5);
    EXPECT_EQ(media::StreamTell(s), 8);
    EXPECT_EQ(media::StreamSeek(s, 10, 1), 0);
    EXPECT_EQ(media::StreamTell(s), 18);
    EXPECT_EQ(media::StreamSeek(s, -6, 2), 0);
    EXPECT_EQ(media::StreamRead(buffer, 4, 3, s), 1u);  // 6 bytes: one whole element
    EXPECT_EQ(buffer[0], (99994) & 255);
    EXPECT_EQ(media::StreamEof(s), 1);
    EXPECT_EQ(media::StreamTell(s), 100000);
    EXPECT_EQ(media::StreamSeek(s, -1, 0), -1);
    EXPECT_EQ(media::StreamSeek(s, 0, 3), -1);
    EXPECT_EQ(media::StreamSeek(s, 65536, 0), 0);
    EXPECT_EQ(media::StreamEof(s), 0);
    std::vector<uint8_t> big(40000);
    EXPECT_EQ(media::StreamRead(big.data(), 1, big.size(), s), 100000u - 65536u);
    EXPECT_EQ(big[1], (65537) & 255);
    EXPECT_EQ(media::StreamRead(big.data(), 1, 1, s), 0u);
    EXPECT_EQ(media::StreamClose(s), 0);
    EXPECT_EQ(media::StreamOpen((dir_ + "/missing").c_str()), 0u);
    EXPECT_EQ(media::StreamOpen(dir_.c_str()), 0u);  // a folder is no file
}

TEST_F(StreamTest, AtMost512StreamsAreOpenAtOnce)
{
    const std::string path = dir_ + "/data.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const int before = media::OpenStreamCount();
    std::vector<media::StreamHandle> open;
    for (int i = before; i < media::MaxOpenStreams; ++i) {
        open.push_back(media::StreamOpen(path.c_str()));
        ASSERT_NE(open.back(), 0u) << i;
    }
    EXPECT_EQ(media::StreamOpen(path.c_str()), 0u);
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "同時に開けるファイルの数が限界を超えました"), lines.end());
    for (media::StreamHandle s : open)
        media::StreamClose(s);
    EXPECT_EQ(media::OpenStreamCount(), before);
    const media::StreamHandle again = media::StreamOpen(path.c_str());
    EXPECT_NE(again, 0u);
    media::StreamClose(again);
}

}  // namespace

namespace {

class ProgramPicturesTest : public testing_support::MediaLayerTest {
protected:
    void TearDown() override
    {
        media::SetPictureFallbackFolder("");
        MediaLayerTest::TearDown();
    }
};

// The program's own start: its two pictures load from ".\PIC\" without an
// alpha picture, and the restore handler is the image reload.
TEST_F(ProgramPicturesTest, ButtonPicturesLoadAfterStartAndReloadIsTheRestoreHandler)
{
    ASSERT_EQ(mkdir("PIC", 0755), 0);
    for (const char* name : {"button.png", "button2.png"})
        CopyFile(std::string(KORVANTA_SOURCE_DIR) + "/PIC/" + name, std::string("PIC/") + name);
    Start();
    EXPECT_EQ(media::ReloadImagesHook, &media::ReloadImageFiles);
    for (const char* path : {".\\PIC\\button.png", ".\\PIC\\button2.png"}) {
        const media::ImageHandle image = media::LoadImageToHandle(path, 0);
        ASSERT_GE(image, 0) << path;
        const media::ImageEntry* entry = media::FindImage(image);
        ASSERT_NE(entry->fileName, nullptr);
        EXPECT_EQ(std::string(entry->fileName->path), dir_ + "/PIC/" + std::string(path + 6));
        EXPECT_EQ(media::LastImageLoadReport().alphaPicture, false);
        EXPECT_STREQ(media::LastImageLoadReport().decoder, "PNG");
    }
}

// An installed program started from a folder without PIC/: its two pictures
// come from the fallback folder, and the restore handler (what a device
// restore runs) reads them again from there, whatever the working folder is
// by then, without a failure line.
TEST_F(ProgramPicturesTest, ButtonPicturesFromTheFallbackFolderSurviveTheRestore)
{
    const std::string share = dir_ + "/share/korvanta";
    ASSERT_EQ(std::system(("mkdir -p '" + share + "/PIC'").c_str()), 0);
    for (const char* name : {"button.png", "button2.png"})
        CopyFile(std::string(KORVANTA_SOURCE_DIR) + "/PIC/" + name, share + "/PIC/" + name);
    media::SetPictureFallbackFolder(share);
    Start();
    std::vector<media::ImageHandle> images;
    for (const char* path : {".\\PIC\\button.png", ".\\PIC\\button2.png"}) {
        images.push_back(media::LoadImageToHandle(path, 0));
        ASSERT_GE(images.back(), 0) << path;
        EXPECT_EQ(std::string(media::FindImage(images.back())->fileName->path), share + "/PIC/" + std::string(path + 6));
    }
    std::vector<std::vector<uint32_t>> before;
    for (media::ImageHandle image : images) {
        before.push_back(Snapshot(ImagePixels(image)));
        media::FillRegion(ImagePixels(image), 0);
    }
    ASSERT_EQ(chdir("/"), 0);
    ASSERT_NE(media::ReloadImagesHook, nullptr);
    media::ReloadImagesHook();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    media::SetPictureFallbackFolder("");
    for (size_t i = 0; i < images.size(); ++i)
        EXPECT_EQ(Snapshot(ImagePixels(images[i])), before[i]);
    for (const std::string& line : Lines()) {
        EXPECT_EQ(line.find("がありません"), std::string::npos) << line;
        EXPECT_EQ(line.find("ロードできませんでした"), std::string::npos) << line;
    }
}

}  // namespace
